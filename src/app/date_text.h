#pragma once
// The date text of a log record, as the viewer's description line shows it:
// the date in the short date format + " at " + the time in the short time
// format.
#include <QString>
#include <string>

namespace tlm {

class TableAccess;

// `date` is the stored "YYYYMMDD" ("unknown" when it is not a date); `time`
// the stored "hh:mm" (shown raw when it does not parse as a time).
QString DateAtTimeText(const std::string& date, const std::string& time);

// Outgoing record: "not sent" unless SENT is true.
QString SentDateText(TableAccess& faxLog);

// Received record: DATEREC and TIMEREC.
QString ReceivedDateText(TableAccess& recLog);

}  // namespace tlm
