#include "comm/posix_serial.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "comm/comm_types.h"

namespace tlm {

int OpenSerialDevice(const std::string& path) {
  if (path.empty()) return -ecBadId;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    switch (error) {
      case ENOENT:
      case ENOTDIR:
      case ENXIO:
      case ENODEV: return -ecBadId;
      case EBUSY: return -ecHardware;
      default: return -error;
    }
  }
  if (!::isatty(fd)) {
    ::close(fd);
    return -ENOTTY;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK ? -ecHardware : -error;
  }
  ::ioctl(fd, TIOCEXCL);  // other opens (except root's) now fail with EBUSY
  return fd;
}

std::string OpenErrorDetail(int code, const std::string& path) {
  if (code == -EACCES || code == -EPERM) {
    std::string group = "dialout";
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
      if (const struct group* g = ::getgrgid(info.st_gid)) group = g->gr_name;
    }
    const char* user = std::getenv("USER");
    return path + ": this user may not use the device; add the user to the group \"" + group +
           "\" (sudo adduser " + (user && *user ? user : "USER") + " " + group + ", then log in again)";
  }
  if (code == -ENOTTY) return path + " is not a serial device";
  return path;
}

}  // namespace tlm
