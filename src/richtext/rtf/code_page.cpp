#include "richtext/rtf/code_page.h"

#include <iconv.h>

#include <map>
#include <mutex>
#include <string>

namespace tlm::rtf {
namespace {

ByteTable BuildTable(int codePage) {
  ByteTable table{};
  for (int b = 0; b < 256; ++b) table[b] = b < 0x80 ? char32_t(b) : char32_t(0xFFFD);
  std::string name = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open("UTF-32LE", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    for (int b = 0x80; b < 256; ++b) table[b] = char32_t(b);  // Latin-1
    return table;
  }
  for (int b = 0x80; b < 256; ++b) {
    char in = static_cast<char>(b);
    unsigned char out[8] = {};
    char* inPtr = &in;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t inLeft = 1, outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) && outLeft == 4) {
      table[b] = char32_t(out[0]) | char32_t(out[1]) << 8 | char32_t(out[2]) << 16 | char32_t(out[3]) << 24;
    }
  }
  iconv_close(cd);
  return table;
}

bool IsKnownCodePage(int codePage) {
  switch (codePage) {
    case 437: case 850: case 852: case 866: case 874:
    case 1250: case 1251: case 1252: case 1253: case 1254: case 1255: case 1256: case 1257: case 1258:
      return true;
    default:
      return false;
  }
}

}  // namespace

const ByteTable& CodePageTable(int codePage) {
  if (!IsKnownCodePage(codePage)) codePage = 1252;  // multi-byte and unknown code pages
  static std::mutex mutex;
  static std::map<int, ByteTable> tables;
  std::lock_guard lock(mutex);
  auto it = tables.find(codePage);
  if (it == tables.end()) it = tables.emplace(codePage, BuildTable(codePage)).first;
  return it->second;
}

int CodePageOfCharset(int charset) {
  switch (charset) {
    case 0: return 1252;
    case 161: return 1253;
    case 162: return 1254;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 238: return 1250;
    case 255: return 437;
    default: return 0;  // symbol fonts and others: the document's code page
  }
}

int EncodeCp1252(char32_t c) {
  if (c < 0x80) return static_cast<int>(c);
  static const std::map<char32_t, int> reverse = [] {
    std::map<char32_t, int> map;
    const ByteTable& table = CodePageTable(1252);
    for (int b = 0x80; b < 256; ++b) {
      if (table[b] != 0xFFFD) map.emplace(table[b], b);
    }
    return map;
  }();
  auto it = reverse.find(c);
  return it == reverse.end() ? -1 : it->second;
}

}  // namespace tlm::rtf
