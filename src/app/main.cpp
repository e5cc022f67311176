// Tolmera: a desktop fax program.
#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

#include "app/command_line.h"
#include "app/core/working_files.h"
#include "app/main_screen.h"
#include "app/maintenance/maintenance_hooks.h"
#include "app/qt_main_thread_bridge.h"
#include "app/receive/receive_hooks.h"
#include "app/single_instance.h"
#include "app/sound_player.h"
#include "app/storage_tables.h"
#include "compose/compose_hooks.h"
#include "send/send_fax_form.h"
#include "send/send_hooks.h"
#include "send/show_error_form.h"
#include "setup/preferences_hooks.h"
#include "setup/troubleshooter_hooks.h"
#include "setup/troubleshooter_window.h"
#include "viewer/viewer_hooks.h"

int main(int argc, char** argv) {
  const tlm::CommandLine commandLine = tlm::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  switch (commandLine.action) {
    case tlm::CommandLine::Action::Help: std::fputs(tlm::CommandLineHelp().c_str(), stdout); return 0;
    case tlm::CommandLine::Action::Version: std::fputs(tlm::CommandLineVersion().c_str(), stdout); return 0;
    case tlm::CommandLine::Action::Error: std::fputs(commandLine.error.c_str(), stderr); return 2;
    case tlm::CommandLine::Action::Run: break;
  }
  // The guard comes first: a second copy only brings the first one forward.
  const tlm::TPreviousInstance previousInstance;
  QApplication app(argc, argv);
  if (previousInstance.AnotherInstance()) {
    tlm::TJustOne::BringPreviousToFront(previousInstance);
    return 0;
  }
  tlm::RemoveStaleWorkingFiles();  // left by a copy that was killed or crashed
  // The application title; window titles stay as each window sets them.
  QApplication::setApplicationName(QStringLiteral("Tolmera"));
  QApplication::setApplicationVersion(QString::fromLatin1(tlm::ProgramVersion()));
  QApplication::setDesktopFileName(QStringLiteral("tolmera"));
  tlm::QtMainThreadBridge bridge;
  std::unique_ptr<tlm::TableProvider> tables = tlm::CreateStorageTables();

  // The windows of the other subsystems, opened from the main window.
  tlm::MainScreenHooks hooks;
  tlm::InstallMaintenanceHooks(hooks);
  tlm::InstallViewerHooks(hooks);
  tlm::InstallSendHooks(hooks);
  tlm::InstallComposeHooks(hooks);
  tlm::InstallPreferencesHooks(hooks);
  tlm::InstallHelpHooks(hooks);
  tlm::InstallReceiveHooks(hooks, {[](QWidget*, const QString& faxFile, const QString& printer) {
                                     tlm::PrintReceivedFax(faxFile, printer);
                                   },
                                   [](const QString& wavFile) { tlm::PlaySoundFile(wavFile); }});

  tlm::TMainScreen window(*tables, hooks, &previousInstance);
  // Windows of one subsystem that open another's.
  tlm::TSendFaxForm::SetPreferencesWindow(
      [&window](QWidget* parent, tlm::Settings&) { return tlm::RunPreferences(window, parent); });
  tlm::TShowErrorForm::SetProblemSolver([&window](QWidget* parent, int errorCode) {
    tlm::OpenTroubleshooter(parent, window.CurrentSettings(), errorCode, !window.ReceiveMode());
  });
  window.show();
  // A fax file named on the command line (or opened from a file manager)
  // goes straight to the viewer.
  if (!commandLine.faxFile.empty() && hooks.viewFax) {
    const QFileInfo file(QString::fromLocal8Bit(commandLine.faxFile.c_str()));
    QTimer::singleShot(0, &window, [&window, &hooks, file] {
      hooks.viewFax(window, file.absoluteFilePath(), file.fileName());
    });
  }
  return QApplication::exec();
}
