#pragma once
// Fills a data folder with sample outgoing and received faxes, their index
// files made as a rebuild makes them, for benchmarks and screenshots.
#include <string>

namespace tlm {

// Appends `outgoing` and `received` records to the logs in `folder` (with a
// trailing '/'), creating them when missing, and rebuilds their indexes.
// False (with `error` set) when a table cannot be opened or written.
bool MakeSampleLogs(const std::string& folder, int outgoing, int received, std::string& error);

}  // namespace tlm
