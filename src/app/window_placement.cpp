#include "app/window_placement.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include "app/core/placement.h"
#include "app/message_boxes.h"
#include "platform/data_folder.h"
#include "platform/profile_file.h"

namespace tlm {

namespace {

QPointer<QWidget>& MainWindowPointer() {
  static QPointer<QWidget> window;
  return window;
}

QScreen* ScreenOf(QWidget* window) {
  if (QScreen* s = window->screen()) return s;
  return QGuiApplication::primaryScreen();
}

int PixelsPerInch(QWidget* window) {
  QScreen* screen = ScreenOf(window);
  return screen ? qRound(screen->logicalDotsPerInch()) : 96;
}

Rect ToRect(const QRect& r) { return Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }

Rect ScreenRect(QWidget* window) {
  QScreen* screen = ScreenOf(window);
  return screen ? ToRect(screen->availableGeometry()) : Rect{0, 0, 1024, 768};
}

// The outer (frame) size of a window; dialogs not yet shown have no frame
// and use their size hint.
QSize OuterSize(QWidget* window) {
  QSize size = window->isVisible() ? window->frameGeometry().size() : window->size();
  if (!window->isVisible() && !window->testAttribute(Qt::WA_Resized)) size = window->sizeHint().expandedTo(window->minimumSize());
  return size;
}

}  // namespace

void SetMainWindow(QWidget* window) { MainWindowPointer() = window; }
QWidget* MainWindow() { return MainWindowPointer().data(); }

QString SettingsFilePath() { return QString::fromStdString(DataFolder() + "TLM.INI"); }

void RestorePlacement(QWidget* window, const QString& windowClass) {
  const ProfileFile ini(SettingsFilePath().toStdString());
  const Rect screen = ScreenRect(window);
  const RestoredPlacement placement =
      ComputeRestoredPlacement(ini, windowClass.toStdString(), PixelsPerInch(window), screen.right, screen.bottom,
                               window->isMaximized());
  if (placement.center) {
    CenterWindow(window);
  } else {
    const Rect& r = placement.rect;
    window->setGeometry(r.left, r.top, r.Width(), r.Height());
  }
  if (placement.maximized) window->setWindowState(window->windowState() | Qt::WindowMaximized);
  // A settings file that cannot be written (a read-only folder, a full
  // disk) costs only the stored placement: the user is told, the window
  // carries on.
  try {
    SavePlacement(window, windowClass);
  } catch (const ProfileWriteError& e) {
    ShowInformation(window, QString::fromLocal8Bit(e.what()));
  }
}

void SavePlacement(QWidget* window, const QString& windowClass) {
  ProfileFile ini(SettingsFilePath().toStdString());
  const QRect normal = window->isMaximized() ? window->normalGeometry() : window->geometry();
  WritePlacement(ini, windowClass.toStdString(), PixelsPerInch(window), ToRect(normal), window->isMaximized());
  ini.Save();
}

void CenterWindow(QWidget* window) {
  QWidget* main = MainWindow();
  const bool isMain = main == nullptr || window == main;
  const QSize size = OuterSize(window);
  const Rect mainRect = main ? ToRect(main->frameGeometry()) : Rect{};
  const Rect r = CenterWindowRect(size.width(), size.height(), isMain, ScreenRect(window), mainRect,
                                  main && main->isMaximized());
  window->move(r.left, r.top);
}

}  // namespace tlm
