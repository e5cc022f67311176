#pragma once
// The documents tlmfax converts into fax files (convert, and send when it is
// given something other than a fax file): their types and page ranges.
#include <string>

#include "faximage/fax_converter.h"

namespace tlm::tlmfax {

// The names of --type ("text", "textex", "tiff", "pcx", "dcx", "bmp",
// "pdf"); false for another name.
bool ParseInputType(const std::string& name, TFaxInputDocumentType& type);

// The type a file's extension names (any letter case); idNone when it names
// none of the image and PDF types.
TFaxInputDocumentType ImageTypeFromExtension(const std::string& file);

// "A-B" or "A" into a page range from 1; false when it does not parse.
bool ParseRange(const std::string& text, int& first, int& last);

}  // namespace tlm::tlmfax
