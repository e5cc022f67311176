#pragma once
// The string manager: texts by id from a compiled-in "STR0" table.
//
// Texts are stored as UTF-16 and handed out as UTF-8, the program's 8-bit
// text encoding on Linux.
#include <cstddef>
#include <span>
#include <stdexcept>
#include <string>

#include "platform/strings/string_table.h"

namespace tlm {

inline constexpr const char* kManagerStringsTable = "KVSRMGR_STRINGS";

// Ids of the manager's own messages in kManagerStringsTable.
enum StringManagerError {
  smStringNotFound = 1,      // "String not found: %d"
  smCannotLock = 2,          // "Cannot lock resource"
  smTableNotFound = 3,       // "String resource not found: %s"
  smCannotOpen = 4,          // "Unable to open string resource: %s"
  smInvalidTable = 5,        // "Invalid KvString resource"
};

// A failure of the string manager; what() is the manager's message text.
class EStringTableError : public std::runtime_error {
 public:
  EStringTableError(int id, const std::string& text) : std::runtime_error(text), id_(id) {}
  int Id() const { return id_; }

 private:
  int id_;
};

class StringManager {
 public:
  StringManager() = default;
  // Opens the compiled-in table `name` (see Open).
  explicit StringManager(const std::string& name, bool quiet = false);

  // Opens a compiled-in table by name: smTableNotFound when there is none,
  // smInvalidTable without the "STR0" magic, smCannotOpen when damaged.
  void Open(const std::string& name);
  // Opens an image held by the caller (it must outlive the manager).
  void OpenImage(const std::string& name, std::span<const unsigned char> image);
  void Close();
  bool IsOpen() const { return open_; }
  const std::string& Name() const { return name_; }

  // Quiet mode: a missing id gives "" instead of smStringNotFound.
  void SetQuiet(bool quiet) { quiet_ = quiet; }
  bool Quiet() const { return quiet_; }

  // The text of `id`.
  std::string GetString(std::uint32_t id) const;
  // The text of `id` in `buffer` of `size` bytes: shortened (whole
  // characters) until it fits with its terminating zero. Returns the length
  // stored, without the zero. A missing id in quiet mode stores "".
  std::size_t GetString(std::uint32_t id, char* buffer, std::size_t size) const;

 private:
  std::u16string Lookup(std::uint32_t id) const;

  std::string name_;
  StringTable table_;
  bool open_ = false;
  bool quiet_ = false;
};

// The manager's message `id` with `%d` / `%s` replaced by `argument`.
std::string StringManagerMessage(int id, const std::string& argument = {});

}  // namespace tlm
