#pragma once
// Single-byte Windows code pages, as RTF's \ansicpg and \fcharset name them.
#include <array>
#include <cstdint>

namespace tlm::rtf {

using ByteTable = std::array<char32_t, 256>;

// The Unicode value of each byte of the single-byte code page `codePage`
// (1250 to 1258, 437, 850, 852, 866, 874); any other code page reads as 1252
// and unmapped bytes as U+FFFD. Tables are built once and cached.
const ByteTable& CodePageTable(int codePage);

// The code page that an RTF \fcharset value implies, or 0 for "the
// document's code page".
int CodePageOfCharset(int charset);

// The Windows-1252 byte for `c`, or -1 when the code page has none.
int EncodeCp1252(char32_t c);

}  // namespace tlm::rtf
