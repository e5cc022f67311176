#pragma once
// What tlmfax send and receive share: the --class and --port arguments and
// the loop that runs a session until it finishes or the user interrupts it.
#include <functional>
#include <string>

#include "comm/com_port.h"
#include "fax/abstract_fax.h"
#include "platform/main_thread_bridge.h"

namespace tlm::tlmfax {

// "auto", "1", "2" or "2.0".
bool ParseFaxClass(const std::string& text, TFaxClass& faxClass);

// "mh", "mr" or "mmr".
bool ParseCoding(const std::string& text, T4Coding& coding);
// "coding MMR, error correction on, 3 frames sent again" for a Class 1 call.
std::string SessionCodingText(const TKvCustomAbstractFax& fax);
// Prints "session: " + SessionCodingText once the call's parameters are
// known and again whenever they or the count of frames sent again change.
void PrintSessionCoding(const TKvCustomAbstractFax& fax);

// "COMn" (any letter case) selects a COM number, anything else is a device path.
void SelectPort(TKvComPort& port, const std::string& name);

// Pumps the bridge until `finished`; SIGINT or SIGTERM cancel the session
// once and the loop waits for it to end. True when it was cancelled.
bool PumpUntilFinished(PumpedBridge& bridge, TKvCustomAbstractFax& fax, const std::function<bool()>& finished);

}  // namespace tlm::tlmfax
