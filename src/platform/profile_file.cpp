#include "platform/profile_file.h"


#include <charconv>
#include <climits>
#include <sstream>
#include <utility>

#include "platform/file_util.h"

namespace tlm {
namespace {

std::string_view Trim(std::string_view s) {
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return false;
  }
  return true;
}

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)) { Reload(); }

void ProfileFile::Reload() {
  sections_.clear();
  std::string text;
  ReadWholeFile(path_, text);  // missing or unreadable: an empty profile
  Parse(text);
}

void ProfileFile::Parse(std::string_view text) {
  sections_.push_back(Section{});
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    const std::string_view trimmed = Trim(line);
    if (trimmed.size() >= 2 && trimmed.front() == '[') {
      const auto close = trimmed.find(']');
      if (close != std::string_view::npos) {
        Section s;
        s.name = std::string(Trim(trimmed.substr(1, close - 1)));
        s.header = std::string(line);
        sections_.push_back(std::move(s));
        continue;
      }
    }
    Line l;
    l.raw = std::string(line);
    const auto eq = line.find('=');
    if (!trimmed.empty() && trimmed.front() != ';' && trimmed.front() != '#' && eq != std::string_view::npos) {
      l.key = std::string(Trim(line.substr(0, eq)));
      l.value = std::string(Trim(line.substr(eq + 1)));
      l.isKey = !l.key.empty();
    }
    sections_.back().lines.push_back(std::move(l));
  }
}

const ProfileFile::Section* ProfileFile::FindSection(std::string_view name) const {
  for (std::size_t i = 1; i < sections_.size(); ++i) {
    if (SameName(sections_[i].name, name)) return &sections_[i];
  }
  return nullptr;
}

ProfileFile::Section* ProfileFile::FindSection(std::string_view name) {
  return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

const ProfileFile::Line* ProfileFile::FindKey(const Section& s, std::string_view key) {
  for (const Line& l : s.lines) {
    if (l.isKey && SameName(l.key, key)) return &l;
  }
  return nullptr;
}

std::optional<std::string> ProfileFile::Value(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  if (!s) return std::nullopt;
  const Line* l = FindKey(*s, key);
  if (!l) return std::nullopt;
  return l->value.substr(0, kProfileValueMax);
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  auto v = Value(section, key);
  return v ? *v : std::string(def);
}

std::optional<int> ProfileFile::ParseInteger(std::string_view text) {
  text = Trim(text);
  long long value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    unsigned long long u = 0;
    auto [p, ec] = std::from_chars(first + 2, last, u, 16);
    if (ec != std::errc() || p != last || u > 0xFFFFFFFFull) return std::nullopt;
    // Eight hex digits may spell a negative 32-bit value, as 0xFFFFFFFF = -1.
    return static_cast<int>(static_cast<std::uint32_t>(u));
  }
  if (!text.empty() && text.front() == '+') ++first;
  auto [p, ec] = std::from_chars(first, last, value, 10);
  if (ec != std::errc() || p != last || first == last) return std::nullopt;
  if (value < INT_MIN || value > INT_MAX) return std::nullopt;
  return static_cast<int>(value);
}

int ProfileFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
  auto v = Value(section, key);
  if (!v) return def;
  return ParseInteger(*v).value_or(def);
}

bool ProfileFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void ProfileFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  // A value is one line: line breaks would split it into keys of their own.
  std::string clean(value);
  for (char& c : clean) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  Section* s = FindSection(section);
  if (!s) {
    Section added;
    added.name = std::string(section);
    added.header = "[" + added.name + "]";
    // A blank line between sections, as people write them.
    Section& last = sections_.back();
    if (sections_.size() > 1 || !last.lines.empty()) {
      if (last.lines.empty() || !Trim(last.lines.back().raw).empty() || last.lines.back().isKey) {
        last.lines.push_back(Line{});
      }
    }
    sections_.push_back(std::move(added));
    s = &sections_.back();
  }
  for (Line& l : s->lines) {
    if (l.isKey && SameName(l.key, key)) {
      l.value = clean;
      l.raw.clear();
      return;
    }
  }
  // New keys go after the section's last key, before trailing blank lines.
  std::size_t at = s->lines.size();
  while (at > 0 && !s->lines[at - 1].isKey && Trim(s->lines[at - 1].raw).empty()) --at;
  Line l;
  l.key = std::string(key);
  l.value = clean;
  l.isKey = true;
  s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(l));
}

void ProfileFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void ProfileFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void ProfileFile::DeleteKey(std::string_view section, std::string_view key) {
  Section* s = FindSection(section);
  if (!s) return;
  std::erase_if(s->lines, [&](const Line& l) { return l.isKey && SameName(l.key, key); });
}

bool ProfileFile::HasSection(std::string_view section) const { return FindSection(section) != nullptr; }

std::vector<std::string> ProfileFile::SectionNames() const {
  std::vector<std::string> names;
  for (std::size_t i = 1; i < sections_.size(); ++i) names.push_back(sections_[i].name);
  return names;
}

std::vector<std::string> ProfileFile::KeyNames(std::string_view section) const {
  std::vector<std::string> names;
  if (const Section* s = FindSection(section)) {
    for (const Line& l : s->lines) {
      if (l.isKey) names.push_back(l.key);
    }
  }
  return names;
}

std::string ProfileFile::Text() const {
  std::string out;
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    const Section& s = sections_[i];
    if (i > 0) out += s.header + "\n";
    for (const Line& l : s.lines) {
      if (l.isKey && l.raw.empty()) {
        out += l.key + "=" + l.value + "\n";
      } else {
        out += l.raw + "\n";
      }
    }
  }
  return out;
}

void ProfileFile::Save() const {
  const std::string text = Text();
  std::string error;
  if (!WriteFileAtomically(path_, text, &error)) {
    throw ProfileWriteError("Unable to write to " + AbsolutePath(path_));
  }
}

}  // namespace tlm
