#pragma once
// The simulated exchange: number lookup, call set-up, ringing, time-outs,
// the audio of connected calls and tear-down.
#include <memory>
#include <string>
#include <vector>

#include "call.h"

namespace faxline {

class Exchange {
 public:
  void add(Endpoint* e) { endpoints_.push_back(e); }
  void addBusyNumber(const std::string& n) { busyNumbers_.push_back(n); }
  Endpoint* lookup(const std::string& number) const;

  // Line time in ms since start; advances by kTickMs per tick.
  int64_t now() const { return nowMs_; }

  Call* dial(Endpoint* caller, const std::string& digits);
  void answer(Call* c);
  // Ends a call. `by` is the endpoint that hung up (null: the line itself);
  // a caller still waiting for an answer is told the attempt failed.
  void hangup(Call* c, Endpoint* by, const char* reason, CallFailure failure = CallFailure::NoCarrier);
  void hangupAll(const char* reason);

  // Advances the line by one audio block.
  void tick();
  // Frees the calls that have ended (outside any endpoint hook).
  void collect();

  int endedCalls() const { return endedCalls_; }

 private:
  void ring(Call& c);
  void progress(Call& c);
  void audio();

  std::vector<Endpoint*> endpoints_;
  std::vector<std::string> busyNumbers_;
  std::vector<std::unique_ptr<Call>> calls_;
  int64_t nowMs_ = 0;
  int nextCallId_ = 1;
  int endedCalls_ = 0;
};

}  // namespace faxline
