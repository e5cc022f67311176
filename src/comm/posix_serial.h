#pragma once
// Serial devices on Linux: opening one for exclusive use, with the port
// layer's error codes.
#include <string>

namespace tlm {

// Opens `path` read/write, non-blocking, without becoming its controlling
// terminal, and claims it: an advisory lock (flock) and TIOCEXCL. Returns
// the descriptor, or a negative code:
//   -ecBadId (2001)     no such device (ENOENT, ENOTDIR, ENXIO, ENODEV);
//   -ecHardware (2005)  busy: held by another process (EBUSY, lock taken);
//   -errno              anything else (-EACCES, -EISDIR, -ENOTTY for a file
//                       that is not a terminal, ...).
int OpenSerialDevice(const std::string& path);

// The text for an open failure, naming the device; for a permission
// problem it says which group the user must join.
std::string OpenErrorDetail(int code, const std::string& path);

}  // namespace tlm
