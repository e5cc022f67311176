// Saves pictures of the troubleshooter and the configuration report for the
// documentation: help_windows_screenshots OUTPUT_FOLDER. Runs on any Qt
// platform (offscreen is fine) with sample settings in a temporary data
// folder; the modem is not asked.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>

#include "setup/config_report_window.h"
#include "setup/troubleshooter_topics.h"
#include "setup/troubleshooter_window.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: help_windows_screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  const QString home = QDir::temp().filePath(QStringLiteral("tolmera-screenshots"));
  QDir().mkpath(home);
  ::setenv("TOLMERA_HOME", home.toLocal8Bit().constData(), 1);
  QApplication app(argc, argv);

  tlm::Settings settings;
  settings.comPort = 0;
  settings.userFax = "555-1212";
  settings.maximumBps = 14400;
  settings.answerOnRing = 4;
  settings.resetString = "ATZ";

  tlm::TFaxProblemSolverDialog solver(settings, tlm::troubleshooter::TopicForError(-6006, true));
  solver.resize(900, 620);
  solver.show();
  QApplication::processEvents();
  solver.Pages()->setCurrentIndex(1);
  QApplication::processEvents();
  bool ok = solver.grab().save(out + QStringLiteral("/troubleshooter.png"));

  tlm::TConfigurationInfo report(tlm::CollectConfigReport(settings, false));
  report.resize(760, 620);
  report.show();
  QApplication::processEvents();
  ok = report.grab().save(out + QStringLiteral("/configuration-report.png")) && ok;
  QDir(home).removeRecursively();
  return ok ? 0 : 1;
}
