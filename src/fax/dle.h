#pragma once
// DLE shielding of data sent to and received from a fax modem.
#include <string>
#include <string_view>

namespace tlm {

inline constexpr char kDLE = 0x10;
inline constexpr char kETX = 0x03;
inline constexpr char kDC2 = 0x12;
inline constexpr char kXON = 0x11;
inline constexpr char kXOFF = 0x13;
inline constexpr char kCAN = 0x18;

// Appends `data` to `out` with every 0x10 doubled.
void AppendDleStuffed(std::string& out, std::string_view data);

}  // namespace tlm
