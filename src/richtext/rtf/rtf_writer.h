#pragma once
// Writes a Document as standard RTF 1.x that word processors and converters
// read: Windows-1252 with \uN escapes for everything else, a font and a
// colour table, explicit formatting on every paragraph and run, the page
// set-up in \paperw, \paperh and \margX, page breaks as \pagebb and insert
// points as fields.
#include <string>

#include "richtext/rtf/rtf_document.h"

namespace tlm::rtf {

std::string WriteRtf(const Document& doc);

// Decodes UTF-8; invalid sequences give U+FFFD.
std::u32string DecodeUtf8(std::string_view text);

}  // namespace tlm::rtf
