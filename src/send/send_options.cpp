#include "send/send_options.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <cctype>

#include "platform/strings/messages.h"

namespace tlm {

namespace {

constexpr int kDefaultDialWait = 60;
constexpr int kShortestDialWait = 55;

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int DialWaitFromInit(const std::string& initString) {
  const std::string upper = Upper(initString);
  const std::size_t at = upper.find("S7=");
  if (at == std::string::npos) return kDefaultDialWait;
  // "S7=" and at most three characters after it, trailing non-digits cut.
  std::string setting = upper.substr(at, 6);
  while (!setting.empty() && !IsDigit(setting.back())) setting.pop_back();
  if (setting.size() < 4) return kDefaultDialWait;
  const std::string digits = setting.substr(3);
  if (!std::all_of(digits.begin(), digits.end(), IsDigit)) return kDefaultDialWait;
  return std::max(std::stoi(digits), kShortestDialWait);
}

std::string ModemInitCommand(const std::string& initString) {
  return Upper(initString).find("AT") == std::string::npos ? "AT" + initString : initString;
}

QString BuildHeader(const QString& userName, const QString& userFax, const QString& date, const QString& time) {
  QString header = QStringLiteral("Sent");
  if (!(userName + userFax).trimmed().isEmpty()) header += QStringLiteral(" by");
  if (!userName.trimmed().isEmpty()) header += QStringLiteral(": ") + userName + QStringLiteral("    ");
  if (!userFax.trimmed().isEmpty()) header += QStringLiteral("         $I          ");
  header += QStringLiteral("           ") + date + QStringLiteral("    ") + time;
  header += QStringLiteral("              Page $P of $N");
  return header;
}

QString BuildHeader(const QString& userName, const QString& userFax) {
  const QDateTime now = QDateTime::currentDateTime();
  const QLocale locale = QLocale::system();
  return BuildHeader(userName, userFax, locale.toString(now.date(), QLocale::ShortFormat),
                     locale.toString(now.time(), QLocale::ShortFormat));
}

QString SendResultText(int errorCode) {
  if (errorCode == 0) return QStringLiteral("Sent");
  const QString text = QString::fromLocal8Bit(ErrorText(errorCode));
  return text.toUpper() == QStringLiteral("OK") ? QStringLiteral("Sent") : text;
}

bool IsSentResult(const QString& result) {
  const QString upper = result.toUpper();
  return upper == QStringLiteral("SENT") || upper == QStringLiteral("OK");
}

}  // namespace tlm
