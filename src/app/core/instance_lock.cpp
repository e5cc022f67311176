#include "app/core/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/data_folder.h"
#include "platform/file_util.h"

namespace tlm {

std::string RuntimeFolder() {
  if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && dir[0] == '/' && DirectoryExists(dir)) {
    return WithTrailingSlash(dir);
  }
  const std::string folder = "/tmp/tolmera-" + std::to_string(::getuid()) + "/";
  ::mkdir(folder.c_str(), 0700);
  return folder;
}

std::string ExecutableFileName() {
  char buffer[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "tolmera";
  const std::string path(buffer, static_cast<std::size_t>(n));
  return path.substr(FolderOf(path).size());
}

std::string ProgramBaseName(const std::string& fileName) {
  const std::size_t pos = fileName.find(".EXE");
  return pos == std::string::npos ? fileName : fileName.substr(0, pos);
}

InstanceLock::InstanceLock(const std::string& folder, const std::string& name)
    : path_(WithTrailingSlash(folder) + name + ".lock") {
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) return;
  int rc;
  do {
    rc = ::flock(fd_, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc == 0) return;
  another_ = errno == EWOULDBLOCK;
  ::close(fd_);
  fd_ = -1;
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace tlm
