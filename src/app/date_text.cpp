#include "app/date_text.h"

#include <QDate>
#include <QLocale>
#include <QTime>

#include "app/table_access.h"

namespace tlm {

QString DateAtTimeText(const std::string& date, const std::string& time) {
  const QLocale locale = QLocale::system();
  const QDate d = QDate::fromString(QString::fromLatin1(date.c_str()).trimmed(), QStringLiteral("yyyyMMdd"));
  const QString dateText = d.isValid() ? locale.toString(d, QLocale::ShortFormat) : QStringLiteral("unknown");
  const QString rawTime = QString::fromLatin1(time.c_str());
  const QTime t = QTime::fromString(rawTime.trimmed(), QStringLiteral("H:mm"));
  const QString timeText = t.isValid() ? locale.toString(t, QLocale::ShortFormat) : rawTime;
  return dateText + QStringLiteral(" at ") + timeText;
}

QString SentDateText(TableAccess& faxLog) {
  if (!IsTrueLogical(faxLog.Field("SENT"))) return QStringLiteral("not sent");
  return DateAtTimeText(faxLog.Field("DATESENT"), faxLog.Field("TIMESENT"));
}

QString ReceivedDateText(TableAccess& recLog) {
  return DateAtTimeText(recLog.Field("DATEREC"), recLog.Field("TIMEREC"));
}

}  // namespace tlm
