#pragma once
// The telephone exchange and the calls on it. A call carries what two fax
// stations put on the line: V.21 HDLC frames and high-speed bursts (TCF and
// page data), each delivered when its last bit has been sent.
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "event_log.h"
#include "event_loop.h"
#include "faults.h"
#include "t30_frames.h"

namespace faxsim {

class Call;
enum class AnswerKind { Fax, Voice, Data };

// Anything that sits on the line: an emulated modem or a remote fax machine.
class Party {
 public:
  virtual ~Party() = default;
  virtual const std::string& number() const = 0;
  // Callee: a call arrives; false means busy.
  virtual bool offerCall(Call& call) = 0;
  virtual void ring(Call& call, int count) = 0;
  // Caller: the far end went off hook.
  virtual void answered(Call& call, AnswerKind kind) = 0;
  // The call is over (far end hung up, or it failed); the party is free.
  virtual void ended(Call& call, const std::string& reason) = 0;
  virtual void lineCarrier(const Mod& mod, bool on) = 0;
  virtual void lineFrame(const Bytes& frame, bool good) = 0;
  virtual void lineData(const Bytes& data) = 0;
};

class Exchange;

class Call {
 public:
  Call(Exchange& ex, int id, Party& caller, std::string to);
  int id() const { return id_; }
  const std::string& from() const { return from_; }
  const std::string& to() const { return to_; }
  bool isAnswered() const { return answered_; }
  bool isOver() const { return over_; }
  Party* other(const Party* p) const { return p == caller_ ? callee_ : caller_; }

  void answer(Party& by);
  // Ends the call from one side; the other side gets ended().
  void hangup(Party& by, const std::string& reason);
  // Ends a call that never connected; the caller gets ended().
  void fail(const std::string& reason);

  // What a party puts on the line.
  void carrier(Party& from, const Mod& mod, bool on);
  void frame(Party& from, const Bytes& frame);
  void data(Party& from, Bytes data);

 private:
  friend class Exchange;
  const Faults& faultsFor() const;
  void damage(Bytes& data, double rate);
  Exchange& ex_;
  int id_;
  Party* caller_;
  Party* callee_ = nullptr;
  std::string from_, to_;
  bool answered_ = false, over_ = false, dead_ = false;
  // Per direction: the current high-speed burst.
  struct Burst { Mod mod; bool tcf = false; int page = 0; long bytes = 0; double start = 0; Bytes sample; };
  std::map<const Party*, Burst> burst_;
  std::map<const Party*, uint8_t> lastFrame_;
  std::map<const Party*, int> pages_;
  std::mt19937 rng_;
  EventLoop::TimerId ringTimer_ = 0, answerTimer_ = 0;
  int rings_ = 0;
};

struct ExchangeConfig {
  double ringInterval = 6.0;  // RING cadence
  int exitAfterCalls = 0;
};

class Exchange {
 public:
  Exchange(EventLoop& loop, EventLog& log, ExchangeConfig cfg) : loop_(loop), log_(log), cfg_(cfg) {}
  void attach(Party& p) { parties_[p.number()] = &p; }
  Faults& faults(const std::string& number) { return faults_[number]; }
  const Faults* findFaults(const std::string& number) const {
    auto it = faults_.find(number);
    return it == faults_.end() ? nullptr : &it->second;
  }
  EventLoop& loop() { return loop_; }
  EventLog& log() { return log_; }

  // Dials `digits` for `caller`. Dial failures come back through
  // caller.ended() with reason busy, no_dialtone or unknown_number.
  Call* dial(Party& caller, const std::string& digits);
  void callEnded(Call& c, const std::string& by, const std::string& reason);
  int endedCalls() const { return ended_; }
  std::function<void()> onAllCallsDone;

 private:
  friend class Call;
  void startRinging(Call& c);
  EventLoop& loop_;
  EventLog& log_;
  ExchangeConfig cfg_;
  std::map<std::string, Party*> parties_;
  std::map<std::string, Faults> faults_;
  std::map<std::string, int> callsTo_;  // calls placed to each number so far
  std::vector<std::unique_ptr<Call>> calls_;
  int nextId_ = 1;
  int ended_ = 0;
};

// Sends a party's signals onto its call with the timing of the line:
// V.21 frames at 300 bit/s after 1 s of flags, high-speed data at the
// modulation's rate after its training.
class Transmitter {
 public:
  Transmitter(EventLoop& loop, Party& self) : loop_(loop), self_(self) {}
  void setCall(Call* c) { call_ = c; }
  bool busy() const { return mode_ != Mode::Idle; }
  // True while the own carrier is on, plus the end of the last transmission.
  double lastEnd() const { return lastEnd_; }

  // V.21: carrier and preamble, then frames as they are queued. `ready` is
  // called once the preamble is out; `sent` after each frame; `done` when
  // the final frame's closing flags are out and the carrier is off.
  void startFrames(std::function<void()> ready);
  void queueFrame(const Bytes& frame, std::function<void()> sent = {});
  void onDone(std::function<void()> done) { done_ = std::move(done); }
  // Sends a whole sequence of frames (the last one final).
  void sendFrames(const std::vector<Bytes>& frames, std::function<void()> done);

  // High-speed data: carrier and training, then the queued data paced at
  // the line rate; finish() ends it once the queue is empty.
  void startData(const Mod& mod, bool longTrain, std::function<void()> trained);
  void pushData(const Bytes& d) { queue_.insert(queue_.end(), d.begin(), d.end()); pump(); }
  void finishData(std::function<void()> done);
  size_t queued() const { return queue_.size(); }

  // Called after each chunk of high-speed data went out, with what is left.
  std::function<void(size_t)> progress;

  // Stops whatever is being sent (carrier off at once).
  void abort();

 private:
  enum class Mode { Idle, Preamble, Frames, Training, Data };
  void pump();
  void carrierOff();
  EventLoop& loop_;
  Party& self_;
  Call* call_ = nullptr;
  Mode mode_ = Mode::Idle;
  Mod mod_;
  std::deque<std::pair<Bytes, std::function<void()>>> frames_;
  std::deque<uint8_t> queue_;
  bool sending_ = false, finishing_ = false;
  std::function<void()> done_;
  EventLoop::TimerId timer_ = 0;
  double lastEnd_ = -1e9;
};

}  // namespace faxsim
