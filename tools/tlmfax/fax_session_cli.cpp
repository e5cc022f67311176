#include "fax_session_cli.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace tlm::tlmfax {

namespace {

std::atomic<bool> gInterrupted{false};
void OnInterrupt(int) { gInterrupted = true; }

}  // namespace

bool ParseFaxClass(const std::string& text, TFaxClass& faxClass) {
  if (text == "auto") faxClass = fcDetect;
  else if (text == "1") faxClass = fcClass1;
  else if (text == "2") faxClass = fcClass2;
  else if (text == "2.0") faxClass = fcClass2_0;
  else return false;
  return true;
}

bool ParseCoding(const std::string& text, T4Coding& coding) {
  if (text == "mh") coding = T4Coding::MH;
  else if (text == "mr") coding = T4Coding::MR;
  else if (text == "mmr") coding = T4Coding::MMR;
  else return false;
  return true;
}

std::string SessionCodingText(const TKvCustomAbstractFax& fax) {
  std::string text = std::string("coding ") + t30::CodingName(fax.SessionCoding()) + ", error correction " +
                     (fax.SessionECM() ? "on" : "off");
  if (fax.SessionECM()) text += ", " + std::to_string(fax.RetransmittedFrames()) + " frames sent again";
  return text;
}

void PrintSessionCoding(const TKvCustomAbstractFax& fax) {
  static std::string last;  // one session per process
  if (fax.SessionBPS() == 0) return;
  const std::string text = SessionCodingText(fax);
  if (text == last) return;
  last = text;
  std::printf("session: %s\n", text.c_str());
  std::fflush(stdout);
}

void SelectPort(TKvComPort& port, const std::string& name) {
  const bool comName = name.size() > 3 && name.size() <= 6 &&
                       std::equal(name.begin(), name.begin() + 3, "COM",
                                  [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; }) &&
                       std::all_of(name.begin() + 3, name.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (comName) {
    port.SetComNumber(std::atoi(name.c_str() + 3));
  } else {
    port.SetDeviceName(name);
  }
}

bool PumpUntilFinished(PumpedBridge& bridge, TKvCustomAbstractFax& fax, const std::function<bool()>& finished) {
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  bool cancelled = false;
  while (!finished()) {
    bridge.Pump(100, [&] { return finished() || (gInterrupted && !cancelled); });
    if (gInterrupted && !cancelled) {
      cancelled = true;
      fax.CancelFax();
    }
  }
  return cancelled;
}

}  // namespace tlm::tlmfax
