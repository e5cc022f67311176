#pragma once
// The process-wide list of open dispatchers. A dispatcher's index in it is
// its handle, carried in the high 16 bits of every notification's data word.
#include <string>

namespace tlm {

class TKvBaseDispatcher;

// Adds `dispatcher` in the first empty slot and returns the slot's index.
int RegisterDispatcher(TKvBaseDispatcher* dispatcher);
// Frees the slot; trailing empty slots are trimmed.
void UnregisterDispatcher(int handle);
// True when an open dispatcher other than `except` uses `device`.
bool DeviceInUseByDispatcher(const std::string& device, const TKvBaseDispatcher* except);

}  // namespace tlm
