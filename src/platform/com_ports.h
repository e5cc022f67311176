#pragma once
// COM port numbers and the serial devices behind them.
//
// The program names ports COM1, COM2, ...; section "Ports" of TLM.INI maps
// each number to a device path (keys "COM1", "COM2", ...). Unmapped numbers
// take the defaults: COM1-COM4 /dev/ttyS0-3, COM5-COM8 /dev/ttyACM0-3,
// COM9-COM12 /dev/ttyUSB0-3. Any path works, a test line's pseudo-terminal
// link included. Every layer resolves ports through these functions.
#include <string>

namespace tlm {

class ProfileFile;

inline constexpr int kMaxComPort = 50;

// The default device of a COM number, or "" when it has none.
std::string DefaultComDevice(int comNumber);

// The device path for a COM number, from `settings` ("Ports" section) or the
// default; "" when the number has neither.
std::string ComDevicePath(int comNumber, const ProfileFile& settings);

// The same, reading TLM.INI in the data folder.
std::string ComDevicePath(int comNumber);

// "COM3 (/dev/ttyS2)": how windows show a port.
std::string ComPortDisplayName(int comNumber, const std::string& devicePath);

}  // namespace tlm
