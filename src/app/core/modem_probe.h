#pragma once
// The routines the windows share to open the modem's port with a readable
// explanation of a failure, check that a modem answers and send it one
// command. No routine lets a failure escape.
#include <functional>
#include <string>

namespace tlm {

class TKvCustomComPort;

// Replies are awaited for 36 ticks, letter case ignored.
inline constexpr int kProbeReplyTicks = 36;
// ProbeModem lets the modem settle for this many ticks first.
inline constexpr int kProbeSettleTicks = 12;

// Opens the port. On failure returns false with `message` saying why.
bool OpenPort(TKvCustomComPort& port, std::string& message);
// "AT&F": true when the modem answered "OK".
bool ResetModem(TKvCustomComPort& port);
// Sends `command` ("AT" put in front when the upper-cased text lacks it)
// and waits for "OK".
bool SendModemCommand(TKvCustomComPort& port, const std::string& command);
// Checks that a modem answers "AT"; without an answer, sends `resetString`
// (when not blank) and takes its answer. `pumpMessages` runs while the modem
// settles, so that the application stays alive.
bool ProbeModem(TKvCustomComPort& port, const std::string& resetString,
                const std::function<void()>& pumpMessages = {});

}  // namespace tlm
