#pragma once
// One direction of a call: the audio arrives after a pure delay, with white
// noise added when the line is set to be noisy.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "spandsp_internals.h"

namespace faxline {

class AudioPath {
 public:
  AudioPath() = default;
  AudioPath(const AudioPath&) = delete;
  AudioPath& operator=(const AudioPath&) = delete;
  ~AudioPath();

  void setUp(int delaySamples, bool noise, float noiseDbm0, int seed);
  void process(const int16_t* in, int16_t* out, int len);

 private:
  std::vector<int16_t> delay_;
  size_t pos_ = 0;
  awgn_state_t* noise_ = nullptr;
};

}  // namespace faxline
