#pragma once
// Shared set-up of the GUI tests: one QApplication on the offscreen
// platform, a data folder per test, and waiting for the event loop.
#include <QApplication>
#include <QDeadlineTimer>
#include <cstdlib>
#include <functional>

#include "support/temp_dir.h"

namespace tlm::testing {

inline QApplication& App() {
  static QApplication* app = [] {
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "tolmera_gui_test";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return *app;
}

// Runs the event loop until `done` or `ms` have passed; the result of `done`.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 5000) {
  const QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

inline void Settle(int ms = 50) {
  const QDeadlineTimer deadline(ms);
  while (!deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

// A fresh data folder, made the program's through TOLMERA_HOME.
class DataFolderScope {
 public:
  DataFolderScope() { ::setenv("TOLMERA_HOME", dir.Folder().c_str(), 1); }
  ~DataFolderScope() { ::unsetenv("TOLMERA_HOME"); }
  TempDir dir;
};

}  // namespace tlm::testing
