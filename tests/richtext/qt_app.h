#pragma once
// One QApplication for a test binary, created on first use.
#include <QApplication>

namespace tlm::testing {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "richtext_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace tlm::testing
