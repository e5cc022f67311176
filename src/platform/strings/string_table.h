#pragma once
// A read-only view of one "STR0" string table image.
//
// Layout (little-endian): "STR0", entry count (32 bits), then per entry the
// id, the byte offset of its text from the start of the image and the text's
// length in UTF-16 code units (32 bits each), sorted by ascending id; then
// the UTF-16LE texts, not terminated.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tlm {

class StringTable {
 public:
  enum class Check { kOk, kBadMagic, kDamaged };

  StringTable() = default;
  // Wraps `image` (which must outlive the table) without checking it.
  explicit StringTable(std::span<const unsigned char> image) : image_(image) {}

  // kBadMagic without the "STR0" magic; kDamaged when the directory or a
  // text lies outside the image or the ids are not strictly ascending.
  Check Validate() const;

  std::uint32_t Count() const;
  // The text of `id` (binary search), or nothing when absent.
  std::optional<std::u16string> Find(std::uint32_t id) const;

 private:
  std::uint32_t Word(std::size_t offset) const;
  std::span<const unsigned char> image_;
};

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace tlm
