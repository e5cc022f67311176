#include "platform/strings/string_table.h"

#include <cstring>

namespace tlm {
namespace {
constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kEntrySize = 12;
}  // namespace

std::uint32_t StringTable::Word(std::size_t offset) const {
  const unsigned char* p = image_.data() + offset;
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

StringTable::Check StringTable::Validate() const {
  if (image_.size() < kHeaderSize || std::memcmp(image_.data(), "STR0", 4) != 0) return Check::kBadMagic;
  const std::uint64_t count = Word(4);
  if (kHeaderSize + count * kEntrySize > image_.size()) return Check::kDamaged;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::size_t entry = kHeaderSize + i * kEntrySize;
    if (i > 0 && Word(entry) <= Word(entry - kEntrySize)) return Check::kDamaged;
    const std::uint64_t offset = Word(entry + 4);
    const std::uint64_t bytes = std::uint64_t(Word(entry + 8)) * 2;
    if (offset + bytes > image_.size()) return Check::kDamaged;
  }
  return Check::kOk;
}

std::uint32_t StringTable::Count() const { return image_.size() >= kHeaderSize ? Word(4) : 0; }

std::optional<std::u16string> StringTable::Find(std::uint32_t id) const {
  std::size_t low = 0;
  std::size_t high = Count();
  while (low < high) {
    const std::size_t mid = low + (high - low) / 2;
    const std::size_t entry = kHeaderSize + mid * kEntrySize;
    const std::uint32_t key = Word(entry);
    if (key == id) {
      const std::size_t offset = Word(entry + 4);
      const std::size_t length = Word(entry + 8);
      std::u16string text(length, u'\0');
      for (std::size_t i = 0; i < length; ++i) {
        const unsigned char* p = image_.data() + offset + 2 * i;
        text[i] = char16_t(p[0] | p[1] << 8);
      }
      return text;
    }
    if (key < id) low = mid + 1;
    else high = mid;
  }
  return std::nullopt;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out += char(cp);
    } else if (cp < 0x800) {
      out += char(0xC0 | cp >> 6);
      out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += char(0xE0 | cp >> 12);
      out += char(0x80 | (cp >> 6 & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    } else {
      out += char(0xF0 | cp >> 18);
      out += char(0x80 | (cp >> 12 & 0x3F));
      out += char(0x80 | (cp >> 6 & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

}  // namespace tlm
