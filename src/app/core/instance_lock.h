#pragma once
// The process-wide half of the single-instance guard.
//
// The first copy of the program takes an exclusive lock on a file named after
// its executable's file name in the user's runtime folder and keeps it for
// its whole life; a later copy finds the lock taken. The system drops the
// lock when the holder ends, however it ends, so a crash never leaves a stale
// guard behind. Copies started from executables with different file names use
// different files and do not see each other.
#include <string>

namespace tlm {

// $XDG_RUNTIME_DIR, else a private folder /tmp/tolmera-<uid>; trailing '/'.
std::string RuntimeFolder();

// The executable's file name without its folder.
std::string ExecutableFileName();

// The program's base name: `fileName` cut before ".EXE" when it contains it
// (upper case only; any other name is used whole).
std::string ProgramBaseName(const std::string& fileName);

class InstanceLock {
 public:
  // Tries to take the lock file `<folder><name>.lock`.
  InstanceLock(const std::string& folder, const std::string& name);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // True when another process holds the lock. A lock file that cannot be
  // created at all counts as no other instance.
  bool AnotherInstance() const { return another_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
  bool another_ = false;
};

}  // namespace tlm
