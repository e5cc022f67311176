#include "comm/dispatcher_registry.h"

#include <mutex>
#include <vector>

#include "comm/dispatcher.h"

namespace tlm {
namespace {

std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}

std::vector<TKvBaseDispatcher*>& Registry() {
  static std::vector<TKvBaseDispatcher*> list;
  return list;
}

}  // namespace

int RegisterDispatcher(TKvBaseDispatcher* dispatcher) {
  std::lock_guard lock(RegistryLock());
  auto& list = Registry();
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (!list[i]) {
      list[i] = dispatcher;
      return static_cast<int>(i);
    }
  }
  list.push_back(dispatcher);
  return static_cast<int>(list.size() - 1);
}

void UnregisterDispatcher(int handle) {
  std::lock_guard lock(RegistryLock());
  auto& list = Registry();
  if (handle < 0 || static_cast<std::size_t>(handle) >= list.size()) return;
  list[static_cast<std::size_t>(handle)] = nullptr;
  while (!list.empty() && !list.back()) list.pop_back();
}

bool DeviceInUseByDispatcher(const std::string& device, const TKvBaseDispatcher* except) {
  std::lock_guard lock(RegistryLock());
  for (const TKvBaseDispatcher* d : Registry()) {
    if (d && d != except && d->DeviceName() == device) return true;
  }
  return false;
}

}  // namespace tlm
