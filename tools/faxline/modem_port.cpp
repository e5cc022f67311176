// The modem's serial port: a pseudo-terminal reached through a link. A slave
// descriptor stays open here so the pty outlives the programs that open and
// close it. Opens and closes are watched with inotify; closing the port, or
// setting its speed to B0, drops DTR, which hangs up like a modem set to &D2.
#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "event.h"
#include "modem.h"

namespace faxline {

bool Modem::openPty(std::string& error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    error = std::string("cannot create a pseudo-terminal: ") + strerror(errno);
    return false;
  }
  char name[128];
  if (ptsname_r(master_, name, sizeof name) != 0) {
    error = "ptsname failed";
    return false;
  }
  pts_ = name;
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  slave_ = open(pts_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave_ < 0) {
    error = "cannot open " + pts_ + ": " + strerror(errno);
    return false;
  }
  // Raw 8-bit both ways until a program sets its own modes.
  for (int fd : {slave_, master_}) {
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
      cfmakeraw(&tio);
      tio.c_cflag |= CLOCAL | CREAD;
      tcsetattr(fd, TCSANOW, &tio);
    }
  }
  inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotify_ < 0 || inotify_add_watch(inotify_, pts_.c_str(), IN_OPEN | IN_CLOSE) < 0) {
    error = std::string("inotify: ") + strerror(errno);
    return false;
  }
  return true;
}

bool Modem::makeLink(std::string& error) {
  struct stat st {};
  if (lstat(link_.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      error = link_ + " exists and is not a symbolic link";
      return false;
    }
    unlink(link_.c_str());
  }
  if (symlink(pts_.c_str(), link_.c_str()) != 0) {
    error = "cannot create link " + link_ + ": " + strerror(errno);
    return false;
  }
  return true;
}

void Modem::stop() {
  if (pts_.empty()) return;
  char target[256];
  const ssize_t n = readlink(link_.c_str(), target, sizeof target - 1);
  if (n > 0) {
    target[n] = '\0';
    if (pts_ == target) unlink(link_.c_str());
  }
  pts_.clear();
}

// How many other processes hold the pty open, from /proc; -1 without /proc.
int Modem::countOpeners() const {
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return -1;
  const pid_t self = getpid();
  int count = 0;
  char target[256];
  while (dirent* p = readdir(proc)) {
    if (p->d_name[0] < '0' || p->d_name[0] > '9' || atoi(p->d_name) == self) continue;
    const std::string dir = std::string("/proc/") + p->d_name + "/fd";
    DIR* fds = opendir(dir.c_str());
    if (fds == nullptr) continue;
    while (dirent* f = readdir(fds)) {
      if (f->d_name[0] == '.') continue;
      const ssize_t n = readlink((dir + "/" + f->d_name).c_str(), target, sizeof target - 1);
      if (n <= 0) continue;
      target[n] = '\0';
      if (pts_ == target) count++;
    }
    closedir(fds);
  }
  closedir(proc);
  return count;
}

void Modem::portEvent() {
  // The events only say that something happened; the openers are counted.
  char buf[4096];
  int events = 0;
  ssize_t n;
  while ((n = read(inotify_, buf, sizeof buf)) > 0) {
    for (char* p = buf; p < buf + n;) {
      auto* ev = reinterpret_cast<inotify_event*>(p);
      events += (ev->mask & IN_OPEN) ? 1 : -1;
      p += sizeof(inotify_event) + ev->len;
    }
  }
  int count = countOpeners();
  if (count < 0) count = std::max(0, openers_ + events);  // no /proc: trust the events
  const bool wasOpen = openers_ > 0;
  openers_ = count;
  if (!wasOpen && count > 0) {
    tcflush(slave_, TCIFLUSH);
    out_.clear();
    Event("port").str("modem", link_).str("state", "open").emit();
  } else if (wasOpen && count == 0) {
    Event("port").str("modem", link_).str("state", "closed").emit();
  }
  updateDtr(true);
}

void Modem::updateDtr(bool portChanged) {
  bool dtr = false;
  if (openers_ > 0) {
    termios tio{};
    dtr = tcgetattr(slave_, &tio) != 0 || cfgetospeed(&tio) != B0;
  }
  if (dtr == dtr_) return;
  dtr_ = dtr;
  if (!portChanged) Event("dtr").str("modem", link_).str("state", dtr ? "on" : "off").emit();
  if (!dtr) dteLost();
}

// Like a modem set to &D2: hang up, back to command mode, discard data.
void Modem::dteLost() {
  in_.clear();
  char buf[1024];
  while (read(master_, buf, sizeof buf) > 0) {
  }
  at()->line_ptr = 0;
  if (call_ && !ringingIn()) ex_.hangup(call_, this, "dtr_drop");
  t31_call_event(t31_, AT_CALL_EVENT_HANGUP);
  setOffHook(false);
  ops_.clear();
  out_.clear();
  xoffSent_ = false;
  tcflush(slave_, TCIFLUSH);
}

}  // namespace faxline
