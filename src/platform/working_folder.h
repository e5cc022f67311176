#pragma once
// Private working folders ("<prefix>XXXXXX") for files a command makes on its
// way to a result. The owner holds a lock on a file inside the folder while
// it lives, so a folder whose lock is free was left behind by a process that
// ended without cleaning up (killed, crashed) and may be removed by anyone.
#include <string>

namespace tlm {

// The prefix of the working folders of `tlmfax render`.
inline constexpr const char* kRenderFolderPrefix = "tlmfax-render-";

class WorkingFolder {
 public:
  WorkingFolder() = default;
  ~WorkingFolder() { Remove(); }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

  // Creates and locks a fresh folder "<parent><prefix>XXXXXX"; false (with
  // errno set) when it cannot.
  bool Create(const std::string& parent, const std::string& prefix);
  // The folder with a trailing '/', empty before Create.
  const std::string& Path() const { return path_; }
  // Removes the folder and everything in it.
  void Remove();

 private:
  std::string path_;
  int lockFd_ = -1;
};

// Removes the folders "<parent><prefix>*" whose owner is gone; the number
// removed.
int RemoveStaleWorkingFolders(const std::string& parent, const std::string& prefix);

}  // namespace tlm
