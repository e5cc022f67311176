#pragma once
// Settings that apply to the whole line, and the audio block the line runs on.
namespace faxline {

constexpr int kSampleRate = 8000;
constexpr int kTickMs = 20;                           // one audio block per tick
constexpr int kBlock = kSampleRate * kTickMs / 1000;  // samples per block

struct LineConfig {
  int ringIntervalMs = 5000;  // time between two RING indications
  int defaultRings = 1;       // rings before a remote fax machine answers
  bool noise = false;         // white noise on every call
  float noiseDbm0 = -99.0f;
  int delayMs = 0;            // extra one-way audio delay of every call
  int logLevel = 0;           // spandsp protocol log level, 0: off
  bool trace = false;         // the modems' DTE traffic on stderr
};

// Set once from the command line before the line starts.
extern LineConfig config;

}  // namespace faxline
