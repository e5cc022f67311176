#pragma once
// Profile (INI) files: "[Section]" lines and "key=value" lines.
//
// Sections and keys match without regard to letter case. Lines the program
// does not know (other sections, keys, comments, blank lines) are kept as
// they are, so a save changes only the values that were written. Save()
// replaces the file atomically: a crash leaves the old or the new file,
// never a truncated one.
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tlm {

// Raised when the file cannot be written: "Unable to write to <full path>".
class ProfileWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr std::size_t kProfileValueMax = 1023;

class ProfileFile {
 public:
  ProfileFile() = default;
  // Reads `path`; a missing or unreadable file is an empty profile.
  explicit ProfileFile(std::string path);

  const std::string& Path() const { return path_; }
  void Reload();

  // The raw value as stored (spaces around it trimmed, cut to 1023
  // characters), or nothing when the section or key is missing.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;

  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  // Decimal, or hexadecimal for a value longer than two characters that
  // starts with "0x"/"0X"; a value that does not parse gives the default.
  int ReadInteger(std::string_view section, std::string_view key, int def) const;
  // Read as an integer; any non-zero value is true.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int value);
  void WriteBool(std::string_view section, std::string_view key, bool value);
  void DeleteKey(std::string_view section, std::string_view key);

  bool HasSection(std::string_view section) const;
  std::vector<std::string> SectionNames() const;
  std::vector<std::string> KeyNames(std::string_view section) const;

  // The file's text as Save() would write it.
  std::string Text() const;
  // Writes the file atomically; throws ProfileWriteError.
  void Save() const;

  // Parses an integer value with the rules of ReadInteger.
  static std::optional<int> ParseInteger(std::string_view text);

 private:
  struct Line {
    std::string raw;      // the line as read, for lines that are not key=value
    std::string key;      // empty for non-key lines
    std::string value;
    bool isKey = false;
  };
  struct Section {
    std::string name;     // empty for the lines before the first section
    std::string header;   // the "[name]" line as read
    std::vector<Line> lines;
  };

  void Parse(std::string_view text);
  const Section* FindSection(std::string_view name) const;
  Section* FindSection(std::string_view name);
  static const Line* FindKey(const Section& s, std::string_view key);

  std::string path_;
  std::vector<Section> sections_;
};

// Case-insensitive comparison of ASCII names.
bool SameName(std::string_view a, std::string_view b);

}  // namespace tlm
