#pragma once
// A data folder with one outgoing fax of five pages and COM1 on a faxsim
// modem (a receiving machine at 5550100), for the send benchmarks and the
// send window's picture.
#include <string>
#include <sys/types.h>

namespace tlm {

std::string FivePages();

struct Line {
  // `accel`: faxsim's speed-up.
  explicit Line(int accel = 10);
  ~Line();
  std::string folder;
  pid_t sim = -1;
};

}  // namespace tlm
