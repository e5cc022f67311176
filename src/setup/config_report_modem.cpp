// The modem section of the configuration report: the modem on the
// configured port is asked to identify itself. Every wait is bounded, so a
// modem that never answers, or a device that goes away, costs a few seconds
// and a line saying so.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

#include "app/core/modem_probe.h"
#include "comm/com_port.h"
#include "platform/com_ports.h"
#include "setup/config_report.h"

namespace tlm {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kAnswerMs = 2000;      // for the first "AT"
constexpr int kCommandMs = 1500;     // for each identification command
constexpr std::size_t kMaxLine = 255;

// What the modem is asked, in this order.
constexpr const char* kIdentification[] = {"ATI0", "ATI3", "ATI4", "AT+GMI", "AT+GMM", "AT+GMR", "AT+FCLASS=?"};

struct Reply {
  bool complete = false;  // ended in OK or ERROR
  bool ok = false;
  std::vector<std::string> lines;
};

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  return text;
}

// Sends `command` and collects the reply lines up to OK or ERROR, the
// command's echo left out, until `deadline`.
Reply Ask(TKvCustomComPort& port, const std::string& command, Clock::time_point deadline) {
  Reply reply;
  port.FlushInBuffer();
  port.PutString(command + "\r");
  std::string line;
  while (Clock::now() < deadline) {
    if (!port.CharReady()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    const char c = port.GetChar();
    if (c != '\r' && c != '\n') {
      if (line.size() < kMaxLine && static_cast<unsigned char>(c) >= 0x20) line += c;
      continue;
    }
    if (line.empty()) continue;
    const std::string upper = Upper(line);
    if (upper == "OK" || upper == "ERROR") {
      reply.complete = true;
      reply.ok = upper == "OK";
      return reply;
    }
    if (upper != Upper(command)) reply.lines.push_back(line);
    line.clear();
  }
  return reply;
}

std::string Label(const std::string& name) {
  std::string label = name + ":";
  label.resize(std::max<std::size_t>(label.size(), 22), ' ');
  return label + "\t";
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += (text.empty() ? "" : " / ") + l;
  return text;
}

}  // namespace

ModemFacts QueryModem(int com, int budgetMs) {
  ModemFacts facts;
  facts.com = com;
  if (com < 1 || com > kMaxComPort) {
    facts.lines.push_back("COM" + std::to_string(com) + " is not a valid port number; the modem was not asked.");
    return facts;
  }
  facts.device = ComDevicePath(com);
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(budgetMs);
  try {
    TKvComPort port;
    port.SetPromptForPort(false);
    port.SetAutoOpen(false);
    port.SetComNumber(com);
    std::string message;
    if (!OpenPort(port, message)) {
      std::replace(message.begin(), message.end(), '\r', ' ');
      std::replace(message.begin(), message.end(), '\n', ' ');
      facts.lines.push_back("The port could not be opened: " + message);
      return facts;
    }
    const Reply hello = Ask(port, "AT", std::min(end, Clock::now() + std::chrono::milliseconds(kAnswerMs)));
    if (!hello.complete) {
      facts.lines.push_back("The modem did not answer \"AT\" within " + std::to_string(kAnswerMs / 1000) +
                            " seconds: it is switched off, not connected to this port, or not a modem.");
      return facts;
    }
    for (const char* command : kIdentification) {
      if (Clock::now() >= end) {
        facts.lines.push_back(Label(command) + "(not asked: the time for the modem's replies ran out)");
        continue;
      }
      const Reply r = Ask(port, command, std::min(end, Clock::now() + std::chrono::milliseconds(kCommandMs)));
      const std::string text = !r.complete ? "(no reply)" : !r.ok ? "ERROR" : Joined(r.lines);
      facts.lines.push_back(Label(command) + text);
    }
  } catch (const std::exception& e) {
    // A device that went away, or a port that failed under us.
    facts.lines.push_back(std::string("The connection to the modem failed: ") + e.what());
  }
  return facts;
}

}  // namespace tlm
