#pragma once
// Reads RTF as common programs write it (word processors, LibreOffice,
// pandoc, this program's own writer) into a Document.
//
// Understood: font and colour tables, \uN with its fallback, \'hh in the
// document's or the font's code page, character and paragraph formatting,
// \page and \pagebb, paper size and margins, and this program's tagged insert
// points (fields "TLMINSERT n"), and pictures (\pict: PNG and JPEG shown,
// other formats kept as a box of their size). Unknown destinations, headers
// and style sheets are skipped; tables keep their text (cells separated by
// tabs, one paragraph per row).
#include <string>
#include <string_view>

#include "richtext/rtf/rtf_document.h"

namespace tlm::rtf {

// Replaces `doc` with the document in `input`. Returns false with a message
// in `error` when the input is not RTF or is damaged beyond reading; `doc`
// then holds whatever could be read before the damage. Never throws on bad
// input.
bool ReadRtf(std::string_view input, Document& doc, std::string* error = nullptr);

// Limits every length of the page set-up to what a page can be (margins that
// leave at least an inch of text, paper from 1 to 44 inches).
PageSetup NormalizedPageSetup(PageSetup page);

}  // namespace tlm::rtf
