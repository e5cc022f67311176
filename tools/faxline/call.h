#pragma once
// A call on the exchange, and the endpoints that make and take calls: the
// emulated modems and the remote fax machines.
#include <cstdint>
#include <string>

#include "audio_path.h"

namespace faxline {

class Endpoint;

enum class CallState { Dialing, Ringing, Connected, Ended };

// Why a call attempt failed, as the caller sees it.
enum class CallFailure { Busy, NoCarrier };

struct Call {
  int id = 0;
  Endpoint* caller = nullptr;
  Endpoint* callee = nullptr;  // null for a number nobody has
  std::string from, to;        // the caller's number, the dialled digits
  CallState state = CallState::Dialing;
  bool busy = false;           // the caller gets the busy signal
  int64_t dialedMs = 0;        // line time of the dial
  int64_t nextRingMs = 0;
  int64_t lastRingMs = 0;
  int64_t connectedMs = 0;
  int rings = 0;
  AudioPath forward;   // caller -> callee
  AudioPath backward;  // callee -> caller
};

// Something on the line. The exchange drives it through these hooks, one
// audio block per tick.
class Endpoint {
 public:
  explicit Endpoint(std::string number) : number_(std::move(number)) {}
  virtual ~Endpoint() = default;
  Endpoint(const Endpoint&) = delete;
  Endpoint& operator=(const Endpoint&) = delete;

  const std::string& number() const { return number_; }
  Call* call() const { return call_; }
  void setCall(Call* c) { call_ = c; }

  // True when a new incoming call should get the busy signal.
  virtual bool busy() const { return call_ != nullptr; }
  // How long a call this endpoint placed may ring unanswered.
  virtual int ringTimeoutMs() const { return 60000; }

  virtual void incomingRing(Call& c) = 0;                // callee, once per ring
  virtual void callConnected(Call& c) = 0;               // both ends
  virtual void callFailed(Call& c, CallFailure why) = 0; // caller
  virtual void callEnded(Call& c, bool bySelf) = 0;      // both ends

  // audioTx must fill all `len` samples.
  virtual void audioTx(int16_t* amp, int len) = 0;
  virtual void audioRx(const int16_t* amp, int len) = 0;
  // Timers; called once per tick before the audio.
  virtual void service(int64_t nowMs) { (void)nowMs; }

 protected:
  std::string number_;
  Call* call_ = nullptr;
};

}  // namespace faxline
