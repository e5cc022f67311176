// From the click on the main window's Send to the modem's dial command, for
// a record of five pages: rendering, the send window, opening the port,
// probing the modem and the session's start. Goal: under one second.
// Run: QT_QPA_PLATFORM=offscreen build/<cfg>/bench/send/send_click_bench
// (faxsim is started from the build tree; the send is cancelled once dialled).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>

#include "app/main_screen.h"
#include "app/storage_tables.h"
#include "fax/send_fax.h"
#include "send/send_fax_form.h"
#include "send/send_hooks.h"
#include "send/show_error_form.h"
#include "send_line.h"

namespace tlm {
namespace {

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
