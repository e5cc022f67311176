#pragma once
// A simulated remote fax machine: it answers calls and stores the pages it
// receives as PBM (plus the raw T.4 data), or calls a number and sends a
// page set.
#include <memory>
#include <vector>

#include "t30.h"

namespace faxsim {

struct RemoteConfig {
  std::string number;
  std::string ident;        // station ID; default: the number
  bool noIdent = false;     // ident=none: sends no station ID at all
  std::string dir;          // receiver: where pages go
  std::vector<Bitmap> pages;  // sender: what to send
  std::string callNumber;   // sender: whom to call
  double callDelay = 3.0;   // sender: seconds before the first call
  int calls = 1;
  double callInterval = 20.0;
  double callOnAnswer = 0;  // sender: call S s after CALL's modem waits for calls
                            // (once per opening of its port); 0 = never
  int rings = 1;            // receiver: rings before answering
  Caps caps;
  int maxRate = 14400;
};

class RemoteFax : public Party, public T30Host {
 public:
  RemoteFax(Exchange& ex, RemoteConfig cfg);
  const std::string& number() const override { return cfg_.number; }
  void start();  // senders: schedule their calls
  // Places one call now (the demo's "send me a fax").
  void callNow();
  bool sender() const { return !cfg_.pages.empty(); }

  bool offerCall(Call& call) override;
  void ring(Call& call, int count) override;
  void answered(Call& call, AnswerKind kind) override;
  void ended(Call& call, const std::string& reason) override;
  void lineCarrier(const Mod& mod, bool on) override;
  void lineFrame(const Bytes& frame, bool good) override;
  void lineData(const Bytes& data) override;

  void t30Dis(const Caps&, const std::string& csi) override;
  void t30Trained(const Caps& dcs) override;
  void t30PageDone(int ppr) override;
  void t30Dcs(const Caps&, const std::string& tsi) override;
  void t30PageStart() override { page_.clear(); }
  void t30PageData(const Bytes& d) override { page_.insert(page_.end(), d.begin(), d.end()); }
  void t30PostPage(int ppm) override;
  void t30End(int code, bool hangUp) override;

 private:
  void beginSession();
  void sendCurrent();
  void finishCall(const std::string& reason);
  Exchange& ex_;
  RemoteConfig cfg_;
  Transmitter tx_;
  std::unique_ptr<T30> t30_;
  Call* call_ = nullptr;
  int callCount_ = 0;
  // Session.
  std::string remoteId_;
  Caps dcs_;
  Bytes page_;
  int pagesDone_ = 0, pageRetries_ = 0, rxPage_ = 0;
  bool rtnDone_ = false;
  bool reported_ = false;  // fax_done already logged for this call
  int lastPpm_ = 0;
  EventLoop::TimerId answerTimer_ = 0;
};

}  // namespace faxsim
