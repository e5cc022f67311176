#pragma once
// Splits a plain text file into pages of text lines: tabs expanded, a form
// feed ending the page, and at most linesPerPage lines a page.
#include <string>
#include <vector>

namespace tlm {

using TextPages = std::vector<std::vector<std::string>>;

// Lines end at LF (a CR before it is dropped). A form feed makes the text
// before it the last line of its page and the text after it the first line
// of the next. Every page holds at least one line; a form feed at the very
// end of the text starts no further page.
TextPages SplitTextPages(const std::string& text, int linesPerPage, int tabStop);

// The built-in fax font is indexed by code page 1252. A text that is valid
// UTF-8 with characters beyond ASCII (the usual text file on Linux) is
// converted to it, characters the code page lacks becoming '?'; any other
// text is taken as 8-bit text already.
std::string ToFaxFontCodePage(const std::string& text);

// Replaces each tab by spaces up to the next multiple of `tabStop`
// (0: tabs are left as they are).
std::string ExpandTabs(const std::string& line, int tabStop);

}  // namespace tlm
