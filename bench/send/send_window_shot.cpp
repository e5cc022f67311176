// Draws the send window with its progress display during a send over
// faxsim into a PNG (docs/send-window.png is made with it by
// scripts/screenshot.sh): send_window_shot OUTPUT.png
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/main_screen.h"
#include "app/storage_tables.h"
#include "fax/send_fax.h"
#include "send/send_fax_form.h"
#include "send/send_hooks.h"
#include "send/show_error_form.h"
#include "send/standard_fax_display.h"
#include "send_line.h"

namespace tlm {
namespace {

// The send window with the progress display beside it.
QImage Compose(QWidget& form, QWidget& display) {
  const QPixmap back = form.grab();
  const QPixmap front = display.grab();
  const QPoint at(back.width() + 12, 0);
  QImage out(std::max(back.width(), at.x() + front.width()) + 8, std::max(back.height(), at.y() + front.height()) + 8,
             QImage::Format_RGB32);
  out.fill(QColor(0x5a, 0x6e, 0x82));
  QPainter p(&out);
  p.drawPixmap(4, 4, back);
  p.fillRect(QRect(at + QPoint(10, 10), front.size()), QColor(0, 0, 0, 90));  // a shadow
  p.drawPixmap(at + QPoint(4, 4), front);
  return out;
}

}  // namespace
}  // namespace tlm

int main(int argc, char** argv) {
  using namespace tlm;
  if (argc != 2) {
    std::fprintf(stderr, "usage: send_window_shot OUTPUT.png\n");
    return 2;
  }
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const QString output = QString::fromLocal8Bit(argv[1]);
  Line line(1);  // real time: the page takes long enough to be seen
  std::unique_ptr<TableProvider> tables = CreateStorageTables();
  MainScreenHooks hooks;
  InstallSendHooks(hooks);
  TMainScreen window(*tables, hooks);
  window.show();

  bool saved = false;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      QTimer::singleShot(0, box, [box] { box->done(QMessageBox::No); });
    } else if (auto* error = qobject_cast<TShowErrorForm*>(modal)) {
      QTimer::singleShot(0, error, [error] { error->accept(); });
    } else if (auto* form = qobject_cast<TSendFaxForm*>(modal)) {
      if (!form->property("clicked").toBool()) {
        form->setProperty("clicked", true);
        QTimer::singleShot(0, form, [form] { form->findChild<QPushButton*>("SendFaxButton")->click(); });
        return;
      }
      TStandardFaxDisplay* display = form->FaxStatus().Display();
      if (!saved && display && display->Value("Status:") == "Sending page data" &&
          display->Value("Bytes transferred:").toLong() > 20000) {
        form->resize(form->width() + 160, form->height());
        QApplication::processEvents();
        saved = Compose(*form, *display).save(output);
        form->SendFax().CancelFax();
      } else if (!form->Sending() && saved) {
        QTimer::singleShot(0, form, [form] { form->findChild<QPushButton*>("CloseButton")->click(); });
      }
    }
  });
  user.start(20);
  QTimer::singleShot(300, &window, [&] { window.SendFax(); });
  QTimer quit;
  QObject::connect(&quit, &QTimer::timeout, [&] {
    if (saved && !QApplication::activeModalWidget()) QApplication::quit();
  });
  quit.start(100);
  QTimer::singleShot(120000, [] { QApplication::exit(1); });
  const int rc = QApplication::exec();
  if (!saved) std::fprintf(stderr, "send_window_shot: no picture taken\n");
  return saved && rc == 0 ? 0 : 1;
}
