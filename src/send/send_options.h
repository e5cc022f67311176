#pragma once
// The values the send window derives from the settings: the dial wait read
// from the modem init string, the modem init command, the header line and
// the result text of a finished transmission.
#include <QString>
#include <string>

namespace tlm {

// Seconds to wait for a connection after dialing, from register S7 of the
// init string: 60 when the string does not set it (or sets it unreadably),
// never below 55.
int DialWaitFromInit(const std::string& initString);

// The init string as the modem command: "AT" put in front unless the
// upper-cased string already holds "AT".
std::string ModemInitCommand(const std::string& initString);

// The header line printed on every page. `date` and `time` are today's date
// and the current time as the user's locale writes them; the session fills
// in $I (station ID), $P (page) and $N (pages).
QString BuildHeader(const QString& userName, const QString& userFax, const QString& date, const QString& time);
// The same with today's date and time in the locale's short formats.
QString BuildHeader(const QString& userName, const QString& userFax);

// The result text of a finished transmission: "Sent" for code 0 and for a
// code whose text is "OK", else the code's error text.
QString SendResultText(int errorCode);
// A result that marks the fax as sent ("SENT" or "OK", any letter case).
bool IsSentResult(const QString& result);

}  // namespace tlm
