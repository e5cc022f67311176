#pragma once
// The maximum transfer rate list of the set-up windows: list position to
// bits per second and back.

namespace tlm {

// 0..5 give 2400, 4800, 7200, 9600, 12000, 14400; anything else 9600.
int RateIndexToBps(int index);
// The list position of a rate; a rate not in the list gives 3 (9600).
int BpsToRateIndex(int bps);

}  // namespace tlm
