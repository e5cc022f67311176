// Tolmera: a desktop fax program.
#include <QApplication>

#include "app/main_screen.h"
#include "app/qt_main_thread_bridge.h"
#include "app/single_instance.h"
#include "app/storage_tables.h"
#include "setup/troubleshooter_hooks.h"

int main(int argc, char** argv) {
  // The guard comes first: a second copy only brings the first one forward.
  const tlm::TPreviousInstance previousInstance;
  QApplication app(argc, argv);  // command-line arguments are ignored
  if (previousInstance.AnotherInstance()) {
    tlm::TJustOne::BringPreviousToFront(previousInstance);
    return 0;
  }
  // The application title; window titles stay as each window sets them.
  QApplication::setApplicationName(QStringLiteral("Tolmera"));
  tlm::QtMainThreadBridge bridge;
  std::unique_ptr<tlm::TableProvider> tables = tlm::CreateStorageTables();
  tlm::MainScreenHooks hooks;
  tlm::InstallHelpHooks(hooks);
  tlm::TMainScreen window(*tables, hooks, &previousInstance);
  window.show();
  return QApplication::exec();
}
