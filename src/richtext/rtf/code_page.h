#pragma once
// Single-byte Windows code pages, as RTF's \ansicpg and \fcharset name them.
#include <array>
#include <cstdint>

namespace tlm::rtf {

using ByteTable = std::array<char32_t, 256>;

// The Unicode value of each byte of code page `codePage` (1252, 1250, 437,
// ...). Unknown code pages and unmapped bytes fall back to Latin-1 and
// U+FFFD. Tables are built once and cached.
const ByteTable& CodePageTable(int codePage);

// The code page that an RTF \fcharset value implies, or 0 for "the
// document's code page".
int CodePageOfCharset(int charset);

// The Windows-1252 byte for `c`, or -1 when the code page has none.
int EncodeCp1252(char32_t c);

}  // namespace tlm::rtf
