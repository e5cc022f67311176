// From the click on the main window's Send to the modem's dial command, for
// a record of five pages: rendering, the send window, opening the port,
// probing the modem and the session's start. Goal: under one second.
// Run: QT_QPA_PLATFORM=offscreen build/<cfg>/bench/send/send_click_bench
// (faxsim is started from the build tree; the send is cancelled once dialled).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/main_screen.h"
#include "app/storage_tables.h"
#include "fax/send_fax.h"
#include "platform/profile_file.h"
#include "richtext/rtf/rtf_writer.h"
#include "send/send_fax_form.h"
#include "send/send_hooks.h"
#include "send/show_error_form.h"
#include "storage/log_tables.h"
#include "storage/xb_components.h"

namespace tlm {
namespace {

namespace fs = std::filesystem;

// Five pages of business text, a hard page break before each heading.
std::string FivePages() {
  rtf::Document doc;
  doc.page = {12240, 15840, 720, 720, 720, 720};
  const std::string sentence =
      "Please find below the quarterly figures for the items we discussed, with delivery dates and prices. ";
  for (int page = 1; page <= 5; ++page) {
    rtf::Paragraph heading;
    heading.format.pageBreakBefore = page > 1;
    rtf::CharFormat bold;
    bold.bold = true;
    bold.halfPoints = 32;
    rtf::AppendText(heading, "Section " + std::to_string(page), bold);
    doc.paragraphs.push_back(heading);
    for (int p = 0; p < 7; ++p) {
      rtf::Paragraph body;
      body.format.spaceAfter = 120;
      std::string text;
      for (int s = 0; s < 6; ++s) text += sentence;
      rtf::CharFormat plain;
      plain.halfPoints = 22;
      rtf::AppendText(body, text, plain);
      doc.paragraphs.push_back(body);
    }
  }
  return rtf::WriteRtf(doc);
}

// A data folder with one five-page fax and COM1 on faxsim's modem.
struct Line {
  std::string folder;
  pid_t sim = -1;

  Line() {
    folder = (fs::temp_directory_path() / ("tolmera-bench-send-" + std::to_string(::getpid()))).string() + "/";
    fs::create_directories(folder);
    ::setenv("TOLMERA_HOME", folder.c_str(), 1);
    sim = ::fork();
    if (sim == 0) {
      const std::string modem = folder + "modem=100";
      const std::string events = folder + "events.log";
      ::execl(FAXSIM_BINARY, FAXSIM_BINARY, "--modem", modem.c_str(), "--remote-receiver",
              ("5550100:" + folder).c_str(), "--speed", "accelerated", "--accel", "10", "--events", events.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    for (int i = 0; i < 200 && !fs::exists(folder + "modem"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));

    ProfileFile ini(folder + "TLM.INI");
    ini.WriteString("Ports", "COM1", folder + "modem");
    ini.WriteString("Modem", "ComPort", "0");
    ini.WriteString("Modem", "FaxClass", "2");
    ini.WriteString("Modem", "MaximumBPS", "14400");
    ini.Save();

    TXbTable table;
    TXbEngine engine(table);
    OpenFaxDBF(table, engine, folder);
    table.Append();
    table.SetString("RECIPIENT", "Bench");
    table.SetString("PHONE", "5550100");
    table.Post();
    std::ofstream(folder + "doc.rtf") << FivePages();
    engine.FileToBlob("RTFDOC", folder + "doc.rtf");
    table.Post();
    fs::remove(folder + "doc.rtf");
  }
  ~Line() {
    if (sim > 0) {
      ::kill(sim, SIGTERM);
      ::waitpid(sim, nullptr, 0);
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
};

// Plays the user: answers the windows, clicks "Send Fax Now" and, once the
// modem dials, cancels and closes. `dialled` is set at the first Dialing.
class User : public QObject {
 public:
  explicit User(QElapsedTimer& clock) : clock_(clock) {
    connect(&timer_, &QTimer::timeout, this, &User::Poll);
    timer_.start(1);
  }
  qint64 dialledAt = -1;

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      QTimer::singleShot(0, box, [box] { box->done(QMessageBox::No); });
    } else if (auto* error = qobject_cast<TShowErrorForm*>(modal)) {
      QTimer::singleShot(0, error, [error] { error->accept(); });
    } else if (auto* form = qobject_cast<TSendFaxForm*>(modal)) {
      if (!form->property("clicked").toBool()) {
        form->setProperty("clicked", true);
        dialledAt = -1;
        QTimer::singleShot(0, form, [form] { form->findChild<QPushButton*>("SendFaxButton")->click(); });
      } else if (form->Sending() && dialledAt < 0 && form->SendFax().FaxStatus() == fax_status::kDialing) {
        dialledAt = clock_.nsecsElapsed();
        form->SendFax().CancelFax();
      } else if (!form->Sending() && dialledAt >= 0) {
        QTimer::singleShot(0, form, [form] { form->findChild<QPushButton*>("CloseButton")->click(); });
      }
    }
  }
  QElapsedTimer& clock_;
  QTimer timer_;
};

void BM_ClickToDial5Pages(benchmark::State& state) {
  Line line;
  std::unique_ptr<TableProvider> tables = CreateStorageTables();
  MainScreenHooks hooks;
  InstallSendHooks(hooks);
  QElapsedTimer clock;
  User user(clock);
  TMainScreen window(*tables, hooks);
  window.show();
  for (int i = 0; i < 50; ++i) QApplication::processEvents();
  for (auto _ : state) {
    clock.start();
    window.SendFax();
    if (user.dialledAt < 0) {
      state.SkipWithError("the modem was not dialled");
      break;
    }
    state.SetIterationTime(double(user.dialledAt) / 1e9);
  }
  window.close();
}
BENCHMARK(BM_ClickToDial5Pages)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace tlm

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
