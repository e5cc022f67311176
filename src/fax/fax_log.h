#pragma once
// The fax history file: one record appended per log code of a session.
#include <ctime>
#include <string>
#include <vector>

#include "fax/fax_codes.h"

namespace tlm {

// What a record needs to know about the session.
struct FaxLogContext {
  std::vector<std::string> faxFiles;  // the job's files (code 1: one line each)
  std::string faxFile;                // the file being received (code 4)
  std::string phoneNumber;
  std::string remoteId;
  int hangupCode = 0;
  std::string errorText;              // text of the session's last error
};

class TKvFaxLog {
 public:
  std::string FaxHistoryName = "KOVAFAX.HIS";

  // Appends the record for `code`, creating the file when it is missing.
  // Throws std::system_error when the file cannot be opened or written.
  void UpdateLog(TFaxLogCode code, const FaxLogContext& context) const;

  // The record's text for `code` at `when` (lines end in CR LF).
  static std::string FormatRecord(TFaxLogCode code, const FaxLogContext& context, std::time_t when);
};

// The date and time as the system formats them (short date, long time).
std::string LocalDateTimeText(std::time_t when);

}  // namespace tlm
