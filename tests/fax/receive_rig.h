#pragma once
// Test support: a receive component on a faxsim modem, driven from the
// test's thread through a pumped bridge, with everything it reported.
#include <climits>
#include <string>
#include <vector>

#include "bitmap.h"
#include "comm/com_port.h"
#include "fax/receive_fax.h"
#include "faxsim_runner.h"
#include "platform/main_thread_bridge.h"
#include "support/temp_dir.h"

namespace tlm::testing {

struct ReceiveRig {
  TempDir dir;
  PumpedBridge bridge;
  TKvComPort port;
  TKvReceiveFax fax;
  std::vector<int> logs;
  std::vector<int> statuses;
  std::vector<std::string> files;  // FaxFile at each log 5
  std::vector<int> errors;         // each OnFaxError
  int lastStatuses = 0;            // status events with the "last" flag
  int finish = INT_MIN;

  ReceiveRig();
  ~ReceiveRig();
  std::string Path(const std::string& name) const { return dir.File(name); }
  // Starts receiving on the modem link `modem` and pumps events until the
  // session finishes or `seconds` pass; the start's result.
  int Run(const std::string& modem, double seconds);
  // Pumps until `until` or `seconds`.
  void Pump(double seconds, const std::function<bool()>& until);
  bool Logged(int code) const;
};

// The pages of an APF file decoded by the simulator's own reader.
std::vector<faxsim::Bitmap> ReadPages(const std::string& apf);
// A test page of `rows` rows (above 1300 rows the simulator sends it fine).
faxsim::Bitmap TestPage(int number, int rows, int width = 1728);

}  // namespace tlm::testing
