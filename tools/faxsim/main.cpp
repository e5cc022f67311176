// faxsim: emulated fax modems and remote fax machines on a simulated line.
#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>

#include "options.h"

namespace {
volatile std::sig_atomic_t gStop = 0, gCall = 0;
void onStop(int) { gStop = 1; }
void onCall(int) { gCall = 1; }
}  // namespace

int main(int argc, char** argv) {
  using namespace faxsim;
  Options o;
  if (auto e = parseOptions(argc, argv, o); !e.empty()) {
    std::fprintf(stderr, "faxsim: %s\n", e.c_str());
    return 2;
  }
  if (o.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!o.demoDir.empty())
    if (auto e = setUpDemo(o); !e.empty()) {
      std::fprintf(stderr, "faxsim: %s\n", e.c_str());
      return 2;
    }
  FILE* events = stdout;
  if (!o.eventsFile.empty() && !(events = std::fopen(o.eventsFile.c_str(), "a"))) {
    std::fprintf(stderr, "faxsim: cannot open %s\n", o.eventsFile.c_str());
    return 2;
  }
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGTERM, onStop);
  std::signal(SIGINT, onStop);
  std::signal(SIGHUP, onStop);
  std::signal(SIGUSR1, onCall);

  EventLoop loop(o.factor);
  EventLog log(loop, events, o.trace);
  Exchange ex(loop, log, ExchangeConfig{o.ringInterval, o.exitAfterCalls});
  for (const auto& [number, kind] : o.faults) applyFault(ex.faults(number), kind);

  std::vector<std::unique_ptr<Modem>> modems;
  std::vector<std::unique_ptr<RemoteFax>> remotes;
  for (const auto& m : o.modems) {
    modems.push_back(std::make_unique<Modem>(ex, m));
    if (auto e = modems.back()->create(); !e.empty()) {
      std::fprintf(stderr, "faxsim: %s\n", e.c_str());
      return 2;
    }
    ex.attach(*modems.back());
    log.emit("ready", {{"modem", m.path}, {"number", m.number}, {"pty", modems.back()->ptyName()}});
  }
  for (const auto& r : o.remotes) {
    remotes.push_back(std::make_unique<RemoteFax>(ex, r));
    ex.attach(*remotes.back());
    log.emit("ready", {{"fax", r.number}, {"role", r.pages.empty() ? "receiver" : "sender"},
                       {"dir", r.dir}, {"target", r.callNumber}});
    remotes.back()->start();
  }
  std::string reason = "signal";
  ex.onAllCallsDone = [&] {
    reason = "calls";
    loop.stop();
  };
  if (o.duration > 0)
    loop.after(o.duration, [&] {
      reason = "duration";
      loop.stop();
    });
  std::function<void()> watchSignals = [&] {
    if (gStop) loop.stop();
    if (gCall) {
      gCall = 0;
      for (auto& r : remotes)
        if (r->sender()) r->callNow();
    }
    loop.after(0.05 * loop.factor(), watchSignals);
  };
  watchSignals();
  // Senders with on-answer call a modem once it has waited for calls long
  // enough, once per opening of its port.
  std::vector<int> answeredOpening(remotes.size(), 0);
  std::function<void()> watchAnswerMode = [&] {
    for (std::size_t i = 0; i < remotes.size(); ++i) {
      const RemoteConfig& r = o.remotes[i];
      if (r.callOnAnswer <= 0) continue;
      for (const auto& m : modems) {
        if (m->number() != r.callNumber || !m->waitingForCalls() || answeredOpening[i] == m->openCount()) continue;
        if (loop.now() - m->lastCommandAt() < r.callOnAnswer) continue;
        answeredOpening[i] = m->openCount();
        remotes[i]->callNow();
      }
    }
    loop.after(0.25, watchAnswerMode);
  };
  watchAnswerMode();
  log.emit("started", {{"modems", std::to_string(modems.size())}, {"faxes", std::to_string(remotes.size())},
                       {"factor", std::to_string(o.factor)}});
  if (!o.demoDir.empty())
    std::fprintf(stderr,
                 "faxsim demo: modem %s/modem (number 100); fax machine 5550100 stores what it\n"
                 "receives in %s/received; 5550199 sends a sample fax a few seconds after the\n"
                 "modem starts waiting for calls, or on 'kill -USR1 %d'.\n",
                 o.demoDir.c_str(), o.demoDir.c_str(), int(::getpid()));
  loop.run();
  log.emit("exit", {{"reason", reason}, {"calls", std::to_string(ex.endedCalls())}});
  modems.clear();
  if (events != stdout) std::fclose(events);
  return 0;
}
