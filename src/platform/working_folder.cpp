#include "platform/working_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "platform/file_util.h"

namespace tlm {

namespace {

constexpr const char* kLockName = ".owner";

}  // namespace

bool WorkingFolder::Create(const std::string& parent, const std::string& prefix) {
  Remove();
  std::string pattern = WithTrailingSlash(parent.empty() ? "." : parent) + prefix + "XXXXXX";
  if (!::mkdtemp(pattern.data())) return false;
  const std::string folder = pattern + "/";
  lockFd_ = ::open((folder + kLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lockFd_ < 0 || ::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    path_ = folder;
    Remove();
    errno = error;
    return false;
  }
  path_ = folder;
  return true;
}

void WorkingFolder::Remove() {
  if (!path_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    path_.clear();
  }
  if (lockFd_ >= 0) {
    ::close(lockFd_);
    lockFd_ = -1;
  }
}

int RemoveStaleWorkingFolders(const std::string& parent, const std::string& prefix) {
  namespace fs = std::filesystem;
  std::error_code ec;
  int removed = 0;
  for (fs::directory_iterator it(parent.empty() ? "." : parent, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
    std::error_code typeError;
    if (!it->is_directory(typeError) || it->is_symlink(typeError)) continue;
    // A folder without a lock file is stale once it is a minute old (its
    // owner may be about to make the lock file).
    const int fd = ::open((it->path() / kLockName).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    bool stale = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd < 0) {
      std::error_code timeError;
      const auto changed = fs::last_write_time(it->path(), timeError);
      stale = !timeError && fs::file_time_type::clock::now() - changed > std::chrono::minutes(1);
    }
    std::error_code removeError;
    if (stale && fs::remove_all(it->path(), removeError) > 0 && !removeError) ++removed;
    if (fd >= 0) ::close(fd);
  }
  return removed;
}

}  // namespace tlm
