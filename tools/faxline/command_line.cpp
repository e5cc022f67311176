#include "command_line.h"

#include <getopt.h>

#include <cstdio>
#include <cstdlib>

#include "diagnostics.h"
#include "line_config.h"

namespace faxline {
namespace {

const char* kUsage =
    "usage: faxline [options]\n"
    "\n"
    "Line set-up (repeat as needed):\n"
    "  --modem PATH=NUMBER           emulated Class 1 modem; PATH becomes a link to its pty\n"
    "  --receiver NUMBER:DIR[:OPT]   remote fax machine storing what it receives in\n"
    "                                DIR/rx-NUMBER-N.tif\n"
    "  --sender NUMBER:FILE:CALL[:DELAY[:OPT]]\n"
    "                                remote fax machine that calls CALL DELAY seconds\n"
    "                                after start (default 3) and sends the TIFF FILE\n"
    "  --busy NUMBER                 a number that always gives the busy signal\n"
    "Remote options (OPT, separated by ':'):\n"
    "  ident=TEXT  ecm=0|1  modems=v27,v29,v17  fine=0|1  superfine=0|1\n"
    "  compression=mh,mr,mmr  rings=N  answer=0|1  header=TEXT  poll=FILE\n"
    "  calls=N  interval=SECONDS\n"
    "Line behaviour:\n"
    "  --rings N                     rings before a remote fax answers (default 1)\n"
    "  --ring-interval SECONDS       time between RING indications (default 5)\n"
    "  --noise DBM0                  add white noise at this level (e.g. -50)\n"
    "  --delay MS                    extra one-way audio delay (default 0)\n"
    "Running:\n"
    "  --duration SECONDS            exit after this time\n"
    "  --exit-after-calls N          exit when N calls have ended\n"
    "  --log[=LEVEL]                 spandsp protocol log on stderr (flow, debug or 1-10)\n"
    "  --trace                       modem DTE traffic on stderr\n"
    "  --help\n";

enum Option {
  kModem = 1000, kReceiver, kSender, kBusy, kRings, kRingInterval, kNoise, kDelay,
  kDuration, kExitAfter, kLog, kTrace, kHelp
};

const option kLongOptions[] = {
    {"modem", required_argument, nullptr, kModem},
    {"receiver", required_argument, nullptr, kReceiver},
    {"sender", required_argument, nullptr, kSender},
    {"busy", required_argument, nullptr, kBusy},
    {"rings", required_argument, nullptr, kRings},
    {"ring-interval", required_argument, nullptr, kRingInterval},
    {"noise", required_argument, nullptr, kNoise},
    {"delay", required_argument, nullptr, kDelay},
    {"duration", required_argument, nullptr, kDuration},
    {"exit-after-calls", required_argument, nullptr, kExitAfter},
    {"log", optional_argument, nullptr, kLog},
    {"trace", no_argument, nullptr, kTrace},
    {"help", no_argument, nullptr, kHelp},
    {nullptr, 0, nullptr, 0},
};

int logLevel(const std::string& v) {
  if (v.empty() || v == "flow") return SPAN_LOG_FLOW;
  if (v == "debug") return SPAN_LOG_DEBUG;
  return int(checkedValue("--log", v, 1, 10));
}

}  // namespace

void startupError(const std::string& message) {
  std::fprintf(stderr, "faxline: %s\n", message.c_str());
  std::exit(2);
}

double checkedValue(const char* what, const std::string& v, double lo, double hi) {
  char* end = nullptr;
  const double d = std::strtod(v.c_str(), &end);
  if (v.empty() || *end != '\0' || d < lo || d > hi) startupError(std::string("bad value for ") + what + ": '" + v + "'");
  return d;
}

std::string checkedNumber(const std::string& n, const char* what) {
  if (n.empty() || digitsOnly(n) != n) startupError(std::string("bad ") + what + " '" + n + "' (digits only)");
  return n;
}

Options parseCommandLine(int argc, char** argv) {
  Options o;
  int c;
  while ((c = getopt_long(argc, argv, "", kLongOptions, nullptr)) != -1) {
    const std::string v = optarg ? optarg : "";
    switch (c) {
      case kModem: {
        const size_t eq = v.rfind('=');
        if (eq == std::string::npos || eq == 0) startupError("--modem wants PATH=NUMBER");
        o.modems.emplace_back(v.substr(0, eq), checkedNumber(v.substr(eq + 1), "modem number"));
        break;
      }
      case kReceiver:
        o.receivers.push_back(v);
        break;
      case kSender:
        o.senders.push_back(v);
        break;
      case kBusy:
        o.busy.push_back(checkedNumber(v, "busy number"));
        break;
      case kRings:
        config.defaultRings = int(checkedValue("--rings", v, 0, 100));
        break;
      case kRingInterval:
        config.ringIntervalMs = int(checkedValue("--ring-interval", v, 0.5, 60) * 1000);
        break;
      case kNoise:
        config.noise = true;
        config.noiseDbm0 = float(checkedValue("--noise", v, -100, 0));
        break;
      case kDelay:
        config.delayMs = int(checkedValue("--delay", v, 0, 5000));
        break;
      case kDuration:
        o.durationS = checkedValue("--duration", v, 0.1, 1e7);
        break;
      case kExitAfter:
        o.exitAfterCalls = int(checkedValue("--exit-after-calls", v, 1, 1e6));
        break;
      case kLog:
        config.logLevel = logLevel(v);
        break;
      case kTrace:
        config.trace = true;
        break;
      case kHelp:
        std::fputs(kUsage, stdout);
        std::exit(0);
      default:
        std::fputs(kUsage, stderr);
        std::exit(2);
    }
  }
  if (optind < argc) startupError(std::string("unexpected argument '") + argv[optind] + "'");
  if (o.modems.empty() && o.receivers.empty() && o.senders.empty()) startupError("nothing on the line; see --help");
  return o;
}

}  // namespace faxline
