#include "platform/strings/string_manager.h"

#include <cstring>

#include "platform/strings/embedded_tables.h"

namespace tlm {
namespace {

const EmbeddedTable* FindEmbedded(const std::string& name) {
  for (const EmbeddedTable& table : EmbeddedTables()) {
    if (name == table.name) return &table;
  }
  return nullptr;
}

[[noreturn]] void Fail(int id, const std::string& argument = {}) {
  throw EStringTableError(id, StringManagerMessage(id, argument));
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

}  // namespace

std::string StringManagerMessage(int id, const std::string& argument) {
  std::string text;
  if (const EmbeddedTable* embedded = FindEmbedded(kManagerStringsTable)) {
    const StringTable table({embedded->data, embedded->size});
    if (auto found = table.Find(static_cast<std::uint32_t>(id))) text = Utf16ToUtf8(*found);
  }
  if (text.empty()) return "String manager error " + std::to_string(id);
  for (const char* marker : {"%d", "%s"}) {
    const auto at = text.find(marker);
    if (at != std::string::npos) text.replace(at, 2, argument);
  }
  return text;
}

StringManager::StringManager(const std::string& name, bool quiet) : quiet_(quiet) { Open(name); }

void StringManager::Open(const std::string& name) {
  const EmbeddedTable* embedded = FindEmbedded(name);
  if (!embedded) Fail(smTableNotFound, name);
  OpenImage(name, {embedded->data, embedded->size});
}

void StringManager::OpenImage(const std::string& name, std::span<const unsigned char> image) {
  Close();
  const StringTable table(image);
  switch (table.Validate()) {
    case StringTable::Check::kBadMagic: Fail(smInvalidTable);
    case StringTable::Check::kDamaged: Fail(smCannotOpen, name);
    case StringTable::Check::kOk: break;
  }
  name_ = name;
  table_ = table;
  open_ = true;
}

void StringManager::Close() {
  open_ = false;
  table_ = StringTable();
  name_.clear();
}

std::u16string StringManager::Lookup(std::uint32_t id) const {
  if (open_) {
    if (auto text = table_.Find(id)) return *text;
  }
  if (!quiet_) Fail(smStringNotFound, std::to_string(id));
  return {};
}

std::string StringManager::GetString(std::uint32_t id) const { return Utf16ToUtf8(Lookup(id)); }

std::size_t StringManager::GetString(std::uint32_t id, char* buffer, std::size_t size) const {
  if (size == 0) return 0;
  std::u16string text = Lookup(id);
  std::string converted = Utf16ToUtf8(text);
  while (converted.size() + 1 > size) {
    // Drop one character (both halves of a surrogate pair).
    text.pop_back();
    if (!text.empty() && IsHighSurrogate(text.back())) text.pop_back();
    converted = Utf16ToUtf8(text);
  }
  std::memcpy(buffer, converted.data(), converted.size());
  buffer[converted.size()] = '\0';
  return converted.size();
}

}  // namespace tlm
