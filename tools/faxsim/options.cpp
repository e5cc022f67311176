#include "options.h"

#include <sys/stat.h>

#include <cstdlib>
#include <sstream>

namespace faxsim {

const char* kUsage = R"(faxsim - a simulated fax line for tests

Usage:
  faxsim [OPTIONS]
  faxsim --demo DIR [--speed realtime|accelerated]

Parties:
  --modem PATH=NUMBER[:OPT...]         an emulated fax modem; PATH becomes a link
                                       to its pseudo-terminal
        class=1,2,2.0                  classes it offers (default 1,2,2.0; 0 always)
        rate=BPS                       highest speed (default 14400)
        rx-order=reversed|direct       Class 2 receive bit order (default reversed,
                                       as Rockwell-based modems)
        wide=0|1                       Class 2/2.0 page widths up to 2048 (1) or
                                       1728 pixels only (0); default 1
  --remote-receiver NUMBER:DIR[:OPT...]
                                       a fax machine that answers and stores pages as
                                       DIR/rx-NUMBER-CALL-pN.pbm (and .g3)
  --remote-sender NUMBER:FILES:CALL[:OPT...]
                                       a fax machine that calls CALL and sends FILES
                                       (one .apf file, or PBM files joined by ',')
        ident=TEXT                     station ID (default: the number; none: no ID)
        rate=BPS                       highest speed (default 14400)
        fine=0|1, wide=0|1             receivers: resolution / width offered (1, 0)
        scan=MS                        receivers: minimum scan line time (0)
        rings=N                        receivers: rings before answering (1)
        delay=S, calls=N, interval=S   senders: first call after S s (3), N calls (1)
                                       S s apart (20)
        on-answer=S                    senders: also call S s after the called modem
                                       starts waiting for calls (a fax class chosen,
                                       no command since), once per opening of its port

Faults (--fault NUMBER:KIND, repeatable; NUMBER is a remote's or a modem's):
  busy | no-answer | voice | data       how a call to NUMBER is answered
  busy=N                                only the first N calls to NUMBER are busy
  slow-answer=S                         NUMBER answers S seconds late
  no-dialtone                           modem NUMBER gets no dial tone
  train-fail-above=BPS                  TCF faster than BPS arrives damaged
  rtn=N                                 remote answers RTN to page N (first try)
  carrier-loss=N                        the line dies one second into page N
  bit-errors=RATE                       flip page data bits with this probability
  dcn=FRAME[@K]                         remote sends DCN instead of its K-th FRAME
  hangup=FRAME[@K]                      remote hangs up instead of its K-th FRAME
  garbage                               modem NUMBER emits a garbage line before
                                        each result code

Other options:
  --speed realtime|accelerated          time base (default realtime)
  --accel FACTOR                        speed-up of accelerated mode (default 10)
  --events FILE                         event log (default stdout)
  --ring-interval S                     RING period (default 6)
  --duration S                          exit after S simulated seconds
  --exit-after-calls N                  exit after N calls ended
  --trace                               DTE traffic and internals on stderr
  --help

faxsim runs until SIGTERM/SIGINT, --duration or --exit-after-calls, then
removes its links and exits 0 (2 on a start-up error). SIGUSR1 makes every
remote sender place a call now (the demo's "send me a fax").
)";

namespace {

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> out;
  std::stringstream ss(s);
  std::string part;
  while (std::getline(ss, part, sep)) out.push_back(part);
  if (!s.empty() && s.back() == sep) out.push_back("");
  return out;
}

bool isNumber(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

bool number(const std::string& v, double& out) {
  char* end = nullptr;
  out = std::strtod(v.c_str(), &end);
  return !v.empty() && *end == 0 && out >= 0;
}

std::string remoteOption(RemoteConfig& r, const std::string& opt) {
  auto eq = opt.find('=');
  if (eq == std::string::npos) return "bad option '" + opt + "'";
  std::string k = opt.substr(0, eq), v = opt.substr(eq + 1);
  double d = 0;
  if (k == "ident") {
    r.noIdent = v == "none";
    r.ident = r.noIdent ? "" : v.substr(0, 20);
  }
  else if (k == "rate" && number(v, d) && d >= 2400) r.maxRate = int(d);
  else if (k == "fine" && (v == "0" || v == "1")) r.caps.fine = v == "1";
  else if (k == "wide" && (v == "0" || v == "1")) r.caps.wide = v == "1";
  else if (k == "scan" && number(v, d)) r.caps.scanMs = r.caps.scanMsFine = int(d);
  else if (k == "rings" && number(v, d)) r.rings = std::max(1, int(d));
  else if (k == "delay" && number(v, d)) r.callDelay = d;
  else if (k == "calls" && number(v, d) && d >= 1) r.calls = int(d);
  else if (k == "interval" && number(v, d)) r.callInterval = d;
  else if (k == "on-answer" && number(v, d) && d > 0) r.callOnAnswer = d;
  else return "bad option '" + opt + "'";
  return "";
}

}  // namespace

std::string parseOptions(int argc, char** argv, Options& o) {
  double accel = 10;
  bool accelerated = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    double d = 0;
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--trace") {
      o.trace = true;
    } else if (a == "--modem" && value(v)) {
      auto parts = split(v, ':');
      auto eq = parts[0].rfind('=');
      if (eq == std::string::npos || !isNumber(parts[0].substr(eq + 1))) return "--modem needs PATH=NUMBER";
      ModemConfig m;
      m.path = parts[0].substr(0, eq);
      m.number = parts[0].substr(eq + 1);
      for (size_t k = 1; k < parts.size(); ++k) {
        const std::string& p = parts[k];
        if (p.rfind("class=", 0) == 0) {
          m.classes = {"0"};
          for (const auto& c : split(p.substr(6), ','))
            if (c == "1" || c == "2" || c == "2.0") m.classes.push_back(c);
            else return "unknown class '" + c + "'";
        } else if (p.rfind("rate=", 0) == 0 && number(p.substr(5), d) && d >= 2400) {
          m.maxRate = int(d);
        } else if (p == "rx-order=direct" || p == "rx-order=reversed") {
          m.class2RxReversed = p == "rx-order=reversed";
        } else if (p == "wide=0" || p == "wide=1") {
          m.wide = p == "wide=1";
        } else {
          return "bad modem option '" + p + "'";
        }
      }
      o.modems.push_back(m);
    } else if (a == "--remote-receiver" && value(v)) {
      auto parts = split(v, ':');
      if (parts.size() < 2 || !isNumber(parts[0]) || parts[1].empty()) return "--remote-receiver needs NUMBER:DIR";
      RemoteConfig r;
      r.number = parts[0];
      r.dir = parts[1];
      for (size_t k = 2; k < parts.size(); ++k)
        if (auto e = remoteOption(r, parts[k]); !e.empty()) return e;
      struct stat st{};
      if (::stat(r.dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return "no folder " + r.dir;
      o.remotes.push_back(r);
    } else if (a == "--remote-sender" && value(v)) {
      auto parts = split(v, ':');
      if (parts.size() < 3 || !isNumber(parts[0]) || (!parts[2].empty() && !isNumber(parts[2])))
        return "--remote-sender needs NUMBER:FILES:CALL";
      RemoteConfig r;
      r.number = parts[0];
      r.callNumber = parts[2];
      if (auto e = loadPages(parts[1], r.pages); !e.empty()) return e;
      for (size_t k = 3; k < parts.size(); ++k)
        if (auto e = remoteOption(r, parts[k]); !e.empty()) return e;
      o.remotes.push_back(r);
    } else if (a == "--fault" && value(v)) {
      auto c = v.find(':');
      if (c == std::string::npos || !isNumber(v.substr(0, c))) return "--fault needs NUMBER:KIND";
      Faults probe;
      if (auto e = applyFault(probe, v.substr(c + 1)); !e.empty()) return e;
      o.faults.emplace_back(v.substr(0, c), v.substr(c + 1));
    } else if (a == "--speed" && value(v)) {
      if (v != "realtime" && v != "accelerated") return "--speed is realtime or accelerated";
      accelerated = v == "accelerated";
    } else if (a == "--accel" && value(v) && number(v, d) && d >= 1 && d <= 1000) {
      accel = d;
    } else if (a == "--events" && value(v)) {
      o.eventsFile = v;
    } else if (a == "--ring-interval" && value(v) && number(v, d) && d > 0) {
      o.ringInterval = d;
    } else if (a == "--duration" && value(v) && number(v, d)) {
      o.duration = d;
    } else if (a == "--exit-after-calls" && value(v) && number(v, d)) {
      o.exitAfterCalls = int(d);
    } else if (a == "--demo" && value(v)) {
      o.demoDir = v;
    } else {
      return "bad argument '" + a + "' (see --help)";
    }
  }
  o.factor = accelerated ? accel : 1.0;
  if (!o.help && o.demoDir.empty() && o.modems.empty() && o.remotes.empty())
    return "nothing to simulate: give --modem, --remote-receiver or --remote-sender (see --help)";
  return "";
}

std::string setUpDemo(Options& o) {
  std::string dir = o.demoDir;
  ::mkdir(dir.c_str(), 0755);
  std::string inbox = dir + "/received";
  ::mkdir(inbox.c_str(), 0755);
  struct stat st{};
  if (::stat(inbox.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return "cannot create " + inbox;
  ModemConfig m;
  m.path = dir + "/modem";
  m.number = "100";
  o.modems.push_back(m);
  RemoteConfig rx;
  rx.number = "5550100";
  rx.ident = "+1 555 0100 DEMO";
  rx.dir = inbox;
  o.remotes.push_back(rx);
  RemoteConfig tx;
  tx.number = "5550199";
  tx.ident = "+1 555 0199 DEMO";
  tx.callNumber = "100";
  tx.pages = {samplePage(1), samplePage(2)};
  tx.calls = 0;        // calls on request (SIGUSR1) ...
  tx.callOnAnswer = 4;  // ... and once the program waits for calls (receive mode)
  o.remotes.push_back(tx);
  if (o.eventsFile.empty()) o.eventsFile = dir + "/events.log";
  return "";
}

}  // namespace faxsim
