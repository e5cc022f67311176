// A stand-in for the program in the single-instance tests: it runs the guard
// exactly as the program does, and reports on standard output what happened
// ("ready" when it became the running copy, "forwarded"/"unanswered" when it
// found one, "front minimized=<0|1>" whenever a later copy brought it
// forward). With the argument "minimized" its window starts minimised.
#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <cstring>

#include "app/single_instance.h"

int main(int argc, char** argv) {
  const tlm::TPreviousInstance previous;
  QApplication app(argc, argv);
  if (previous.AnotherInstance()) {
    std::printf("%s\n", tlm::TJustOne::BringPreviousToFront(previous) ? "forwarded" : "unanswered");
    return 0;
  }
  QWidget window;
  window.setWindowTitle(QString::fromStdString(previous.BaseName()));
  window.resize(200, 100);
  if (argc > 1 && std::strcmp(argv[1], "minimized") == 0) {
    window.showMinimized();
  } else {
    window.show();
  }
  tlm::TJustOne justOne(&window, previous);
  QObject::connect(&justOne, &tlm::TJustOne::BroughtToFront, [&window] {
    std::printf("front minimized=%d\n", window.isMinimized() ? 1 : 0);
    std::fflush(stdout);
  });
  std::printf("ready\n");
  std::fflush(stdout);
  return QApplication::exec();
}
