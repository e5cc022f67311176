#pragma once
// Error and fax status texts of the serial and fax layers.
#include <string>

#include "platform/strings/string_manager.h"

namespace tlm {

inline constexpr const char* kErrorStringsTable = "KOVA_ERROR_STRINGS_ENGLISH";
inline constexpr const char* kFaxStringsTable = "KOVA_FAX_STRINGS_ENGLISH";

// The text of an error code. Codes from 1000 up are looked up in the error
// table; codes below 1000 (and codes the table lacks) are operating-system
// error numbers and get the system's text, trailing line breaks removed.
std::string ErrorText(int code);

// The text of a fax status code, "" for a code the table lacks.
std::string FaxStatusText(int code);

// The name of a dispatch-log entry (the error table's range 15001 and up):
// `id` is the table id, such as 15001 + type.
std::string LogNameText(int id);

}  // namespace tlm
