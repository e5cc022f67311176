#pragma once
// Pop-up hints (tool tips): shown 1200 ms after the pointer rests on a
// control, kept 30000 ms, and switched off altogether by "Show Hints".
namespace tlm {

inline constexpr int kHintDelayMs = 1200;
inline constexpr int kHintDisplayMs = 30000;

// Installs the hint timing on the application (once) and switches hints on
// or off.
void SetHintsEnabled(bool on);
bool HintsEnabled();

}  // namespace tlm
