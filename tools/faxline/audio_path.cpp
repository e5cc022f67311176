#include "audio_path.h"

#include <algorithm>

namespace faxline {

AudioPath::~AudioPath() {
  if (noise_) awgn_free(noise_);
}

void AudioPath::setUp(int delaySamples, bool noise, float noiseDbm0, int seed) {
  delay_.assign(size_t(std::max(delaySamples, 0)), 0);
  pos_ = 0;
  if (noise_) awgn_free(noise_);
  noise_ = noise ? awgn_init_dbm0(nullptr, seed, noiseDbm0) : nullptr;
}

void AudioPath::process(const int16_t* in, int16_t* out, int len) {
  for (int i = 0; i < len; ++i) {
    int16_t s = in[i];
    if (!delay_.empty()) {
      std::swap(s, delay_[pos_]);
      pos_ = (pos_ + 1) % delay_.size();
    }
    if (noise_) s = int16_t(std::clamp(int(s) + int(awgn(noise_)), -32768, 32767));
    out[i] = s;
  }
}

}  // namespace faxline
