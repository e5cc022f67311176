#include "app/core/modem_probe.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

#include "comm/com_port.h"
#include "platform/strings/messages.h"
#include "platform/strings/string_manager.h"
#include "platform/ticks.h"

namespace tlm {

namespace {

constexpr int kPortInUse = -2005;
constexpr int kAlreadyOpen = -2008;
constexpr int kNoSuchPort = -2001;
constexpr int kFirstTableCode = 1000;

std::string LibraryErrorText(int code) {
  const int magnitude = code < 0 ? -code : code;
  if (magnitude < kFirstTableCode) return ErrorText(code);
  static const StringManager table(kErrorStringsTable, true);
  std::string text = table.GetString(static_cast<std::uint32_t>(magnitude));
  return text.empty() ? "Unknown error" : text;
}

bool SendAndAwaitOk(TKvCustomComPort& port, const std::string& text) {
  try {
    port.PutString(text);
    return port.WaitForString("OK", kProbeReplyTicks, true);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

bool OpenPort(TKvCustomComPort& port, std::string& message) {
  message.clear();
  const std::string n = std::to_string(port.ComNumber());
  try {
    port.SetOpen(true);
    return true;
  } catch (const EComError& e) {
    const int code = e.Code();
    if (code == kPortInUse || code == kAlreadyOpen) {
      message = "The communications port is in use ( Com " + n + " )\r\n\r\n" +
                "Please make sure that all communication programs (internet, AOL, etc) are closed, and then try again.";
    } else if (code == kNoSuchPort) {
      message = "Unable to open the specified communications port ( Com" + n + " )";
    } else {
      message = "Unable to open the specified communications port ( Com" + n + " )\r\nError message: " +
                LibraryErrorText(code);
    }
  } catch (const std::exception& e) {
    message = "Unable to open the specified communications port( Com" + n + " )\r\nError message: " + e.what();
  }
  return false;
}

bool ResetModem(TKvCustomComPort& port) { return SendAndAwaitOk(port, "AT&F\r"); }

bool SendModemCommand(TKvCustomComPort& port, const std::string& command) {
  std::string upper = command;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  const std::string line = (upper.find("AT") == std::string::npos ? "AT" + command : command) + "\r";
  return SendAndAwaitOk(port, line);
}

bool ProbeModem(TKvCustomComPort& port, const std::string& resetString, const std::function<void()>& pumpMessages) {
  const TickTimer settle = NewTimer(kProbeSettleTicks);
  while (!TimerExpired(settle)) {
    if (pumpMessages) pumpMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (SendAndAwaitOk(port, "AT\r")) return true;
  const bool blank = std::all_of(resetString.begin(), resetString.end(), [](char c) { return c == ' '; });
  if (blank) return false;
  return SendAndAwaitOk(port, resetString + "\r");
}

}  // namespace tlm
