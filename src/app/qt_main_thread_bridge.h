#pragma once
// The program's main-thread bridge: work posted or sent from the serial and
// fax threads runs in the Qt event loop of the main thread.
#include <QObject>
#include <thread>

#include "platform/main_thread_bridge.h"

namespace tlm {

class QtMainThreadBridge final : public QObject, public MainThreadBridge {
  Q_OBJECT
 public:
  // Must be constructed on the main thread (the one running QApplication).
  explicit QtMainThreadBridge(QObject* parent = nullptr);
  void Post(std::function<void()> fn) override;
  bool Send(std::function<void()> fn, std::int64_t timeoutMs) override;

 private:
  std::thread::id mainThread_;
};

}  // namespace tlm
