// tlmfax send: sends an APF file through a fax modem and prints one line
// per status event, then the result with its error code and text. A PDF
// file or an image is converted on the way into a private working folder
// that is removed however the command ends.
#include <cstdio>
#include <cstdlib>

#include "comm/com_port.h"
#include "commands.h"
#include "document_input.h"
#include "fax_session_cli.h"
#include "fax/fax_log.h"
#include "fax/send_fax.h"
#include "platform/main_thread_bridge.h"
#include "platform/strings/messages.h"

namespace tlm::tlmfax {

namespace {

constexpr const char* kSendUsage =
    "usage: tlmfax send --port PATH|COMn [--class auto|1|2|2.0] [--bps N] [--ecm|--no-ecm]\n"
    "                   [--coding mh|mr|mmr] [--station ID] [--header TEXT] [--no-mps] [--cover FILE]\n"
    "                   [--dial-wait S] [--attempts N]\n"
    "                   [--retry-wait S] [--history FILE] [--fine] NUMBER FILE";

}  // namespace

int RunSend(const Args& args) {
  std::string port, number, file, cover, history, header, station;
  TFaxClass faxClass = fcDetect;
  int bps = 9600, dialWait = 60, attempts = 3, retryWait = 60;
  bool ecm = false, mps = true, fine = false;
  T4Coding coding = T4Coding::MMR;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
    const std::string* v = nullptr;
    if (a == "--ecm") ecm = true;
    else if (a == "--fine") fine = true;
    else if (a == "--no-ecm") ecm = false;
    else if (a == "--no-mps") mps = false;
    else if (a.rfind("--", 0) != 0) positional.push_back(a);
    else if (!(v = value())) return Fail(std::string("missing value for ") + a + "\n" + kSendUsage);
    else if (a == "--port") port = *v;
    else if (a == "--class") {
      if (!ParseFaxClass(*v, faxClass)) return Fail("bad --class " + *v);
    } else if (a == "--bps") bps = std::atoi(v->c_str());
    else if (a == "--coding") {
      if (!ParseCoding(*v, coding)) return Fail("bad --coding " + *v);
    }
    else if (a == "--station") station = *v;
    else if (a == "--header") header = *v;
    else if (a == "--cover") cover = *v;
    else if (a == "--history") history = *v;
    else if (a == "--dial-wait") dialWait = std::atoi(v->c_str());
    else if (a == "--attempts") attempts = std::atoi(v->c_str());
    else if (a == "--retry-wait") retryWait = std::atoi(v->c_str());
    else return Fail("unknown option " + a + "\n" + kSendUsage);
  }
  if (port.empty() || positional.size() != 2) return Fail(kSendUsage);
  number = positional[0];
  // A PDF file or an image is converted on the way; the working folder goes
  // when the command ends, whichever way.
  WorkingFolder working;
  file = FaxFileToSend(positional[1], fine, working, "DOCUMENT.APF");
  cover = FaxFileToSend(cover, fine, working, "COVER.APF");

  PumpedBridge bridge;
  TKvComPort comPort;
  comPort.SetMainThreadBridge(&bridge);
  comPort.SetPromptForPort(false);
  SelectPort(comPort, port);
  TKvSendFax fax;
  fax.SetComPort(&comPort);
  fax.SetFaxClass(faxClass);
  fax.DesiredBPS = bps;
  fax.DesiredECM = ecm;
  fax.DesiredCoding = coding;
  fax.SetStationID(station);
  fax.HeaderLine = header;
  fax.SetMultiPageSwitch(mps);
  fax.PhoneNumber = number;
  fax.SetFaxFile(file);
  fax.CoverFile = cover;
  fax.DialWait = dialWait;
  fax.DialAttempts = attempts;
  fax.DialRetryWait = retryWait;
  fax.ExitOnError = true;
  TKvFaxLog log;
  if (!history.empty()) {
    log.FaxHistoryName = history;
    fax.FaxLog = &log;
  }

  bool finished = false;
  int result = 0;
  int lastStatus = -1;
  fax.OnFaxStatus = [&](TKvCustomAbstractFax& f, bool, bool) {
    const int status = f.FaxStatus();
    if (status == lastStatus && status != fax_status::kSendingPage) return;
    lastStatus = status;
    if (status == fax_status::kSendingPage)
      std::printf("status %d: %s (page %d of %d, %ld of %ld bytes)\n", status, FaxStatusText(status).c_str(),
                  f.CurrentPage(), f.TotalPages(), f.BytesTransferred(), f.PageLength());
    else
      std::printf("status %d: %s\n", status, FaxStatusText(status).c_str());
    PrintSessionCoding(f);
    std::fflush(stdout);
  };
  fax.OnFaxFinish = [&](TKvCustomAbstractFax&, int error) {
    finished = true;
    result = error;
  };

  try {
    comPort.SetOpen(true);
  } catch (const std::exception& e) {
    return Fail(std::string("cannot open ") + port + ": " + e.what());
  }
  fax.StartTransmit();
  PumpUntilFinished(bridge, fax, [&] { return finished; });
  bridge.Pump(0);
  comPort.SetOpen(false);
  if (result == 0) {
    std::printf("result: 0 sent to \"%s\", %d pages, %s\n", fax.RemoteID().c_str(), fax.TotalPages(),
                SessionCodingText(fax).c_str());
    return 0;
  }
  std::printf("result: %d %s\n", -result, ErrorText(-result).c_str());
  return 1;
}

}  // namespace tlm::tlmfax
