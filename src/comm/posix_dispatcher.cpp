#include "comm/posix_dispatcher.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "comm/comm_types.h"
#include "comm/posix_serial.h"

namespace tlm {
namespace {

struct SpeedEntry {
  std::uint32_t baud;
  speed_t speed;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

// Errors that mean "this device has no such control" (pseudo-terminals).
bool Unsupported(int error) { return error == ENOTTY || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP; }

void Signal(int fd) {
  if (fd < 0) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(fd, &one, sizeof one);
}

void Drain(int fd) {
  std::uint64_t value = 0;
  [[maybe_unused]] const ssize_t ignored = ::read(fd, &value, sizeof value);
}

int PollFor(pollfd* fds, nfds_t count, std::int64_t timeoutMs) {
  const int timeout = timeoutMs < 0 ? -1 : static_cast<int>(std::min<std::int64_t>(timeoutMs, 1 << 30));
  const int result = ::poll(fds, count, timeout);
  return result < 0 && errno != EINTR ? -errno : std::max(result, 0);
}

}  // namespace

speed_t BaudToSpeed(std::uint32_t baud) {
  for (const auto& entry : kSpeeds) {
    if (entry.baud == baud) return entry.speed;
  }
  return 0;
}

std::uint32_t SpeedToBaud(speed_t speed) {
  for (const auto& entry : kSpeeds) {
    if (entry.speed == speed) return entry.baud;
  }
  return 0;
}

TKvPosixDispatcher::~TKvPosixDispatcher() {
  // The threads must be gone before the descriptors they poll.
  StopForDestruction();
}

int TKvPosixDispatcher::OpenCom(const std::string& device) {
  const int fd = OpenSerialDevice(device);
  if (fd < 0) return fd;
  fd_ = fd;
  haveOriginal_ = ::tcgetattr(fd_, &original_) == 0;
  comWakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  writeCancelFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (comWakeFd_ < 0 || writeCancelFd_ < 0) {
    CloseDescriptors();
    return -ecOutOfMemory;
  }
  serial_icounter_struct counts{};
  countsKnown_ = ::ioctl(fd_, TIOCGICOUNT, &counts) == 0;
  if (countsKnown_) {
    lastFrame_ = counts.frame;
    lastOverrun_ = counts.overrun;
    lastParity_ = counts.parity;
    lastBreak_ = counts.brk;
    lastBufOverrun_ = counts.buf_overrun;
  }
  return 0;
}

int TKvPosixDispatcher::SetupCom(int, int) { return 0; }

void TKvPosixDispatcher::CloseDescriptors() {
  for (int* fd : {&fd_, &comWakeFd_, &writeCancelFd_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

void TKvPosixDispatcher::CloseCom() {
  if (fd_ >= 0 && haveOriginal_) ::tcsetattr(fd_, TCSANOW, &original_);
  CloseDescriptors();
}

int TKvPosixDispatcher::GetComState(TDeviceControlBlock& dcb) {
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) return -errno;
  if (const std::uint32_t baud = SpeedToBaud(::cfgetospeed(&tio))) dcb.baud = baud;
  switch (tio.c_cflag & CSIZE) {
    case CS5: dcb.dataBits = 5; break;
    case CS6: dcb.dataBits = 6; break;
    case CS7: dcb.dataBits = 7; break;
    default: dcb.dataBits = 8; break;
  }
  if (!(tio.c_cflag & PARENB)) dcb.parity = pNone;
  else if (tio.c_cflag & CMSPAR) dcb.parity = (tio.c_cflag & PARODD) ? pMark : pSpace;
  else dcb.parity = (tio.c_cflag & PARODD) ? pOdd : pEven;
  dcb.stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
  dcb.outX = (tio.c_iflag & IXON) != 0;
  dcb.inX = (tio.c_iflag & IXOFF) != 0;
  dcb.xonChar = tio.c_cc[VSTART];
  dcb.xoffChar = tio.c_cc[VSTOP];
  return 0;
}

int TKvPosixDispatcher::SetComState(const TDeviceControlBlock& dcb) {
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) return -errno;
  const speed_t speed = BaudToSpeed(dcb.baud);
  if (speed == 0) return -ecBaudrate;
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  switch (dcb.dataBits) {
    case 5: tio.c_cflag |= CS5; break;
    case 6: tio.c_cflag |= CS6; break;
    case 7: tio.c_cflag |= CS7; break;
    case 8: tio.c_cflag |= CS8; break;
    default: return -ecByteSize;
  }
  switch (dcb.parity) {
    case pNone: break;
    case pOdd: tio.c_cflag |= PARENB | PARODD; break;
    case pEven: tio.c_cflag |= PARENB; break;
    case pMark: tio.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case pSpace: tio.c_cflag |= PARENB | CMSPAR; break;
  }
  if (dcb.parity != pNone) tio.c_iflag |= INPCK;
  if (dcb.stopBits == 2) tio.c_cflag |= CSTOPB;
  if (dcb.rtsControl == rtsHandshake || dcb.outCtsFlow) tio.c_cflag |= CRTSCTS;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (dcb.outX) tio.c_iflag |= IXON;
  if (dcb.inX) tio.c_iflag |= IXOFF;
  tio.c_cc[VSTART] = dcb.xonChar;
  tio.c_cc[VSTOP] = dcb.xoffChar;
  // With VMIN 1 a non-blocking read of an empty live device fails with
  // EAGAIN, so that a read of 0 bytes always means the device hung up.
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  termios before{};
  ::tcgetattr(fd_, &before);
  if (::tcsetattr(fd_, TCSANOW, &tio) != 0) return -errno;
  // tcsetattr succeeds when any part was applied: check the character
  // format took (pseudo-terminals of some kernels refuse parity and short
  // characters), else put the old settings back.
  termios after{};
  constexpr tcflag_t kFormat = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
  if (::tcgetattr(fd_, &after) == 0 && (after.c_cflag & kFormat) != (tio.c_cflag & kFormat)) {
    ::tcsetattr(fd_, TCSANOW, &before);
    return -EINVAL;
  }
  // Lines the kernel does not drive follow the control block.
  if (dcb.dtrControl != dtrHandshake) {
    EscapeComFunction(dcb.dtrControl == dtrEnable ? TEscape::kSetDtr : TEscape::kClearDtr);
  } else {
    EscapeComFunction(TEscape::kSetDtr);
  }
  if (dcb.rtsControl == rtsEnable || dcb.rtsControl == rtsDisable) {
    EscapeComFunction(dcb.rtsControl == rtsEnable ? TEscape::kSetRts : TEscape::kClearRts);
  }
  return 0;
}

int TKvPosixDispatcher::ReadCom(std::uint8_t* bytes, std::size_t count) {
  const ssize_t got = ::read(fd_, bytes, count);
  if (got > 0) return static_cast<int>(got);
  if (got == 0) return count > 0 ? -ENODEV : 0;  // 0 bytes: hung up (see VMIN)
  return errno == EAGAIN || errno == EINTR ? 0 : -errno;
}

int TKvPosixDispatcher::InQueue() {
  int queued = 0;
  return ::ioctl(fd_, FIONREAD, &queued) == 0 ? queued : 0;
}

int TKvPosixDispatcher::WriteCom(const std::uint8_t* bytes, std::size_t count) {
  const ssize_t written = ::write(fd_, bytes, count);
  if (written >= 0) return static_cast<int>(written);
  return errno == EAGAIN || errno == EINTR ? 0 : -errno;
}

int TKvPosixDispatcher::WaitWritable(std::int64_t timeoutMs) {
  pollfd fds[2] = {{fd_, POLLOUT, 0}, {writeCancelFd_, POLLIN, 0}};
  const int ready = PollFor(fds, 2, timeoutMs);
  if (ready < 0) return ready;
  if (fds[1].revents & POLLIN) {
    Drain(writeCancelFd_);
    return 0;
  }
  if (fds[0].revents & (POLLERR | POLLNVAL)) return -ENODEV;
  if (fds[0].revents & POLLOUT) return 1;
  if (fds[0].revents & POLLHUP) return -ENODEV;
  return 0;
}

void TKvPosixDispatcher::CancelWrite() { Signal(writeCancelFd_); }

int TKvPosixDispatcher::FlushCom(bool input) {
  return ::tcflush(fd_, input ? TCIFLUSH : TCOFLUSH) == 0 ? 0 : -errno;
}

int TKvPosixDispatcher::EscapeComFunction(TEscape function) {
  int bits = 0;
  unsigned long request = 0;
  switch (function) {
    case TEscape::kSetDtr: bits = TIOCM_DTR; request = TIOCMBIS; break;
    case TEscape::kClearDtr: bits = TIOCM_DTR; request = TIOCMBIC; break;
    case TEscape::kSetRts: bits = TIOCM_RTS; request = TIOCMBIS; break;
    case TEscape::kClearRts: bits = TIOCM_RTS; request = TIOCMBIC; break;
    case TEscape::kSetBreak: request = TIOCSBRK; break;
    case TEscape::kClearBreak: request = TIOCCBRK; break;
  }
  const int result = bits ? ::ioctl(fd_, request, &bits) : ::ioctl(fd_, request);
  if (result == 0 || Unsupported(errno)) return 0;
  return -errno;
}

std::uint16_t TKvPosixDispatcher::GetLineErrors() {
  if (!countsKnown_) return 0;
  serial_icounter_struct counts{};
  if (::ioctl(fd_, TIOCGICOUNT, &counts) != 0) return 0;
  std::uint16_t errors = 0;
  if (counts.buf_overrun != lastBufOverrun_) errors |= leBufferOverrun;
  if (counts.overrun != lastOverrun_) errors |= leOverrun;
  if (counts.parity != lastParity_) errors |= leParity;
  if (counts.frame != lastFrame_) errors |= leFraming;
  if (counts.brk != lastBreak_) errors |= leBreak;
  lastBufOverrun_ = counts.buf_overrun;
  lastOverrun_ = counts.overrun;
  lastParity_ = counts.parity;
  lastFrame_ = counts.frame;
  lastBreak_ = counts.brk;
  return errors;
}

int TKvPosixDispatcher::GetModemLines() {
  int lines = 0;
  if (::ioctl(fd_, TIOCMGET, &lines) != 0) return -1;
  int status = 0;
  if (lines & TIOCM_CTS) status |= msCTS;
  if (lines & TIOCM_DSR) status |= msDSR;
  if (lines & TIOCM_RNG) status |= msRI;
  if (lines & TIOCM_CAR) status |= msDCD;
  return status;
}

int TKvPosixDispatcher::WaitComEvent(bool wantInput, std::int64_t timeoutMs) {
  pollfd fds[2] = {{fd_, static_cast<short>(wantInput ? POLLIN : 0), 0}, {comWakeFd_, POLLIN, 0}};
  const int ready = PollFor(fds, 2, timeoutMs);
  if (ready < 0) return ready;
  if (fds[1].revents & POLLIN) Drain(comWakeFd_);
  int events = 0;
  if (fds[0].revents & POLLIN) events |= static_cast<int>(evRxChar);
  if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) events |= static_cast<int>(evHangup);
  return events;
}

void TKvPosixDispatcher::WakeComEvent() { Signal(comWakeFd_); }

int TKvPosixDispatcher::WaitReadable(std::int64_t timeoutMs) {
  pollfd fds[1] = {{fd_, POLLIN, 0}};
  const int ready = PollFor(fds, 1, timeoutMs);
  if (ready < 0) return ready;
  return (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) ? 1 : 0;
}

int TKvPosixDispatcher::SetRs485Mode(bool on) {
  serial_rs485 rs485{};
  if (::ioctl(fd_, TIOCGRS485, &rs485) != 0) return 0;  // not an RS-485 capable port
  if (on) rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
  else rs485.flags &= ~SER_RS485_ENABLED;
  return ::ioctl(fd_, TIOCSRS485, &rs485) == 0 || Unsupported(errno) ? 0 : -errno;
}

}  // namespace tlm
