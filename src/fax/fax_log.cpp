#include "fax/fax_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace tlm {
namespace {

constexpr const char* kBreak = "\r\n";

void AppendToFile(const std::string& path, const std::string& text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), path);
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      throw std::system_error(err, std::generic_category(), path);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) throw std::system_error(errno, std::generic_category(), path);
}

}  // namespace

std::string LocalDateTimeText(std::time_t when) {
  std::tm local {};
  ::localtime_r(&when, &local);
  char buffer[128];
  const std::size_t n = std::strftime(buffer, sizeof buffer, "%x %X", &local);
  return std::string(buffer, n);
}

std::string TKvFaxLog::FormatRecord(TFaxLogCode code, const FaxLogContext& c, std::time_t when) {
  const std::string at = LocalDateTimeText(when);
  const std::string hangup = std::to_string(c.hangupCode);
  std::string out;
  switch (code) {
    case lfaxTransmitStart:
      for (const std::string& file : c.faxFiles) {
        out += "Transmit " + file + " to " + c.phoneNumber + " started at " + at + kBreak;
      }
      break;
    case lfaxTransmitOk:
      out = "Transmit to " + c.remoteId + " finished OK at " + at + " " + hangup + kBreak + kBreak;
      break;
    case lfaxTransmitFail:
      out = "Transmit failed at " + at + kBreak + "  (" + c.errorText + ") " + hangup + kBreak + kBreak;
      break;
    case lfaxReceiveStart:
      out = "Receive " + c.faxFile + " from " + c.remoteId + " started at " + at + kBreak;
      break;
    case lfaxReceiveOk:
      out = "Receive finished OK at " + at + kBreak + kBreak;
      break;
    case lfaxReceiveSkip:
      out = "Receive skipped at " + at + kBreak + kBreak;
      break;
    case lfaxReceiveFail:
      out = "Receive failed at " + at + kBreak + "  (" + c.errorText + ")" + kBreak + kBreak;
      break;
    case lfaxNone:
      break;
  }
  return out;
}

void TKvFaxLog::UpdateLog(TFaxLogCode code, const FaxLogContext& context) const {
  const std::string record = FormatRecord(code, context, std::time(nullptr));
  if (!record.empty()) AppendToFile(FaxHistoryName, record);
}

}  // namespace tlm
