#pragma once
// Test support for transmit sessions: APF pages made from bitmaps, and a
// sender on a simulated modem (faxsim started fresh in a temp folder).
#include <memory>
#include <string>
#include <vector>

#include "bitmap.h"
#include "comm/com_port.h"
#include "fax/fax_log.h"
#include "fax/send_fax.h"
#include "faxsim/faxsim_runner.h"
#include "platform/main_thread_bridge.h"
#include "support/temp_dir.h"

namespace tlm::testing {

// A page with a pattern that differs per `seed` (lines, blocks, and 0x10
// bytes in its coded data), `height` rows.
faxsim::Bitmap PatternPage(int seed, int height, bool fine, bool wide = false);
// Writes the pages as an APF file (line records).
void WriteApf(const std::string& path, const std::vector<faxsim::Bitmap>& pages);

struct SendOutcome {
  int result = 1;               // the finish event's code
  std::vector<int> statuses;    // every status change
  std::vector<int> errors;      // OnFaxError codes
  std::vector<int> logs;        // OnFaxLog codes
  std::string remoteId;
};

class SendRig {
 public:
  // faxsim with one modem (number 100, `modemOptions` appended) and the
  // given extra arguments; `accel` is its speed-up.
  SendRig(const std::string& modemOptions, std::vector<std::string> extra, double accel);
  ~SendRig();
  bool Ready() const { return sim_ && sim_->started(); }
  TempDir& Dir() { return dir_; }
  TKvSendFax& Fax() { return fax_; }
  TKvComPort& Port() { return port_; }
  PumpedBridge& Bridge() { return bridge_; }
  faxsim::testing::FaxsimProcess& Sim() { return *sim_; }
  // Runs one transmit session to its finish event (or `seconds`).
  // `onStatus` runs on each status change (e.g. to cancel).
  SendOutcome Send(int seconds = 120, std::function<void(int status)> onStatus = {});
  // The pages the remote NUMBER stored in call CALL.
  std::vector<faxsim::Bitmap> Received(const std::string& number, int call, int pages);
  std::string History() const;

 private:
  TempDir dir_;
  std::unique_ptr<faxsim::testing::FaxsimProcess> sim_;
  PumpedBridge bridge_;
  TKvComPort port_;
  TKvSendFax fax_;
  TKvFaxLog log_;
};

}  // namespace tlm::testing
