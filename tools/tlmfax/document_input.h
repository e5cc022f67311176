#pragma once
// The documents tlmfax converts into fax files (convert, and send when it is
// given something other than a fax file): their types and page ranges.
#include <string>

#include "faximage/fax_converter.h"
#include "platform/working_folder.h"

namespace tlm::tlmfax {

// The names of --type ("text", "textex", "tiff", "pcx", "dcx", "bmp",
// "pdf"); false for another name.
bool ParseInputType(const std::string& name, TFaxInputDocumentType& type);

// The type a file's extension names (any letter case); idNone when it names
// none of the image and PDF types.
TFaxInputDocumentType ImageTypeFromExtension(const std::string& file);

// "A-B" or "A" into a page range from 1; false when it does not parse.
bool ParseRange(const std::string& text, int& first, int& last);

// The fax file to send for `file`: the file itself when it is a fax file or
// has no extension of an image or PDF type, else the file converted into
// `working` as `name` (the folder made in the temporary folder on first
// use). Ctrl-C or SIGTERM abort the conversion. Throws std::runtime_error
// naming the file with the reason and its code.
std::string FaxFileToSend(const std::string& file, bool fine, WorkingFolder& working, const char* name);

}  // namespace tlm::tlmfax
