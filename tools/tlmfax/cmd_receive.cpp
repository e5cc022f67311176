// tlmfax receive: waits for calls on a fax modem and stores each fax.
#include <climits>
#include <cstdio>
#include <string>

#include "comm/com_port.h"
#include "commands.h"
#include "fax_session_cli.h"
#include "fax/receive_fax.h"
#include "platform/main_thread_bridge.h"
#include "platform/strings/messages.h"

namespace tlm::tlmfax {

namespace {

bool ParseInt(const std::string& text, int& out) {
  try {
    std::size_t used = 0;
    out = std::stoi(text, &used);
    return used == text.size();
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

int RunReceive(const Args& args) {
  std::string port, station, dir;
  TFaxClass faxClass = fcDetect;
  int bps = 9600, rings = 1;
  bool once = false, ecm = false;
  T4Coding coding = T4Coding::MMR;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--once") {
      once = true;
    } else if (a == "--ecm" || a == "--no-ecm") {
      ecm = a == "--ecm";
    } else if (a == "--coding" && hasValue) {
      if (!ParseCoding(args[++i], coding)) return Fail("--coding is mh, mr or mmr");
    } else if (a == "--port" && hasValue) {
      port = args[++i];
    } else if (a == "--station" && hasValue) {
      station = args[++i];
    } else if (a == "--dir" && hasValue) {
      dir = args[++i];
    } else if (a == "--class" && hasValue) {
      if (!ParseFaxClass(args[++i], faxClass)) return Fail("--class is auto, 1, 2 or 2.0");
    } else if (a == "--bps" && hasValue) {
      if (!ParseInt(args[++i], bps) || bps < 2400 || bps > 14400) return Fail("--bps is 2400 to 14400");
    } else if (a == "--rings" && hasValue) {
      if (!ParseInt(args[++i], rings) || rings < 1 || rings > 99) return Fail("--rings is 1 to 99");
    } else {
      return Fail("unknown argument " + a);
    }
  }
  if (port.empty()) return Fail("--port PATH|COMn is required");

  PumpedBridge bridge;
  TKvComPort comPort;
  comPort.SetMainThreadBridge(&bridge);
  SelectPort(comPort, port);
  TKvReceiveFax fax;
  fax.SetComPort(&comPort);
  fax.SetFaxClass(faxClass);
  fax.DesiredBPS = bps;
  fax.DesiredECM = ecm;
  fax.DesiredCoding = coding;
  fax.AnswerOnRing = rings;
  fax.SetStationID(station);
  fax.DestinationDir = dir;
  fax.OneFax = once;

  int finish = INT_MIN;
  bool callFailed = false;  // a call ended without a fax, or was refused
  fax.OnFaxStatus = [](TKvCustomAbstractFax& f, bool, bool) {
    std::printf("status %d: %s\n", f.FaxStatus(), FaxStatusText(f.FaxStatus()).c_str());
    std::fflush(stdout);
    PrintSessionCoding(f);
  };
  fax.OnFaxLog = [&](TKvCustomAbstractFax& f, TFaxLogCode code) {
    if (code == lfaxReceiveOk) std::printf("received %s, %s\n", f.FaxFile().c_str(), SessionCodingText(f).c_str());
    if (code == lfaxReceiveFail) std::printf("failed %s\n", f.FaxFile().c_str());
    if (code == lfaxReceiveSkip) std::printf("rejected a call\n");
    if (code == lfaxReceiveFail || code == lfaxReceiveSkip) callFailed = true;
    std::fflush(stdout);
  };
  fax.OnFaxError = [&](TKvCustomAbstractFax&, int error) {
    callFailed = true;
    std::printf("error %d: %s\n", error < 0 ? -error : error, ErrorText(error).c_str());
    std::fflush(stdout);
  };
  fax.OnFaxFinish = [&](TKvCustomAbstractFax&, int error) { finish = error; };

  const int rc = fax.StartReceive();
  if (rc != 0) return Fail("cannot start receiving: " + ErrorText(rc));
  // The engine waits for the next call after a failed one; --once ends
  // after the first call whatever its outcome.
  const bool cancelled = PumpUntilFinished(bridge, fax, [&] { return finish != INT_MIN || (once && callFailed); });
  if (finish == INT_MIN) {
    fax.CancelFax();
    PumpUntilFinished(bridge, fax, [&] { return finish != INT_MIN; });
  }
  comPort.SetOpen(false);
  bridge.Pump(50);
  // Stopped by the user, or one fax received as asked.
  if (once) return !callFailed && finish == 0 ? 0 : 1;
  return (cancelled || finish == 0) ? 0 : 1;
}

}  // namespace tlm::tlmfax
