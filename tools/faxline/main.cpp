// faxline: a simulated phone line with emulated Class 1 fax modems (spandsp
// T.31) and remote fax machines (spandsp T.30), carrying real modem audio in
// real time, for tests of fax software against an independent T.30.
//
// One thread. Every 20 ms the exchange advances by one 160-sample audio
// block; in between, ppoll() waits for the programs' input on the modem ptys
// so AT commands are answered at once.
#include <poll.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <csignal>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "command_line.h"
#include "diagnostics.h"
#include "event.h"
#include "exchange.h"
#include "line_config.h"
#include "modem.h"
#include "remote_setup.h"

using namespace faxline;

namespace {

volatile sig_atomic_t gSignal = 0;
void onSignal(int sig) { gSignal = sig; }

void quietTiffWarning(const char*, const char*, va_list) {}

// SIGINT, SIGTERM and SIGHUP are blocked except inside ppoll(), so none is
// lost between two checks; returns the mask ppoll() waits with.
sigset_t catchStopSignals() {
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sigset_t block, orig;
  sigemptyset(&block);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    sigaction(sig, &sa, nullptr);
    sigaddset(&block, sig);
  }
  std::signal(SIGPIPE, SIG_IGN);
  sigprocmask(SIG_BLOCK, &block, &orig);
  return orig;
}

void claimNumbers(const std::vector<std::string>& numbers) {
  for (size_t i = 0; i < numbers.size(); ++i)
    for (size_t j = 0; j < i; ++j)
      if (numbers[i] == numbers[j]) startupError("number " + numbers[i] + " is used twice");
}

}  // namespace

int main(int argc, char** argv) {
  const Options opt = parseCommandLine(argc, argv);
  if (config.logLevel == 0) TIFFSetWarningHandler(quietTiffWarning);

  Exchange ex;
  std::vector<std::unique_ptr<Modem>> modems;
  std::vector<std::unique_ptr<RemoteFax>> faxes;
  std::vector<std::string> numbers;
  for (size_t i = 0; i < opt.modems.size(); ++i) {
    for (size_t j = 0; j < i; ++j)
      if (opt.modems[j].first == opt.modems[i].first) startupError("modem path " + opt.modems[i].first + " is used twice");
    numbers.push_back(opt.modems[i].second);
    modems.push_back(std::make_unique<Modem>(ex, opt.modems[i].first, opt.modems[i].second));
  }
  for (const auto& option : opt.receivers) faxes.push_back(makeReceiver(ex, option));
  for (const auto& option : opt.senders) faxes.push_back(makeSender(ex, option));
  for (const auto& f : faxes) numbers.push_back(f->number());
  claimNumbers(numbers);
  for (const auto& b : opt.busy) ex.addBusyNumber(b);

  const sigset_t waitMask = catchStopSignals();

  for (auto& m : modems) {
    std::string error;
    if (!m->start(error)) {
      for (auto& started : modems) started->stop();
      startupError("modem " + m->link() + ": " + error);
    }
    ex.add(m.get());
    Event("ready").str("modem", m->link()).str("number", m->number()).str("pty", m->pty()).emit();
  }
  for (auto& f : faxes) {
    ex.add(f.get());
    Event ev("ready");
    ev.str("fax", f->number()).str("role", f->roleName());
    if (!f->rxDir().empty()) ev.str("dir", f->rxDir());
    if (!f->txFile().empty()) ev.str("file", f->txFile()).str("target", f->target());
    ev.emit();
  }
  Event("started").num("modems", (long long)modems.size()).num("faxes", (long long)faxes.size()).emit();

  const int64_t tickNs = int64_t(kTickMs) * 1000000;
  int64_t nextNs = monoNs() + tickNs;
  const char* exitReason = nullptr;
  double exitAt = -1;
  std::vector<pollfd> fds;
  while (exitReason == nullptr || uptime() < exitAt) {
    if (gSignal) {
      exitReason = "signal";
      break;
    }
    fds.clear();
    for (auto& m : modems) m->addPollFds(fds);
    const int64_t wait = std::max<int64_t>(nextNs - monoNs(), 0);
    const timespec timeout = {time_t(wait / 1000000000LL), long(wait % 1000000000LL)};
    const int r = ppoll(fds.data(), fds.size(), &timeout, &waitMask);
    if (r < 0 && errno != EINTR) startupError(std::string("ppoll: ") + strerror(errno));
    if (r > 0)
      for (auto& m : modems) m->handlePoll(fds);
    for (auto& m : modems) m->processOps();

    // The audio ticks that are due; after a long stall, skip ahead.
    const int64_t now = monoNs();
    for (int ticks = 0; now >= nextNs;) {
      ex.tick();
      for (auto& m : modems) m->processOps();
      ex.collect();
      nextNs += tickNs;
      if (++ticks >= 10 && now >= nextNs) {
        logLine("warning: line stalled for %.0f ms; skipping ahead", double(now - nextNs) / 1e6);
        nextNs = now + tickNs;
        break;
      }
    }

    if (exitReason == nullptr) {
      if (opt.durationS > 0 && uptime() >= opt.durationS) {
        exitReason = "duration";
        exitAt = uptime();
      } else if (opt.exitAfterCalls > 0 && ex.endedCalls() >= opt.exitAfterCalls) {
        // Run on briefly so the modems' last responses get out.
        exitReason = "calls";
        exitAt = uptime() + 1.0;
      }
    }
  }

  ex.hangupAll("shutdown");
  for (auto& m : modems) m->processOps();
  ex.collect();
  faxes.clear();
  modems.clear();  // removes the links
  Event("exit").str("reason", exitReason).num("calls", ex.endedCalls()).emit();
  return 0;
}
