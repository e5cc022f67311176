#include "app/help_window.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "app/window_placement.h"
#include "platform/data_folder.h"

namespace tlm {

QString HelpTopicPath(int topic) {
  const QString path = QString::fromStdString(ShareFolder()) + QStringLiteral("help/%1.html").arg(topic);
  return QFileInfo::exists(path) ? path : QString();
}

THelpWindow::THelpWindow(QWidget* parent) : QDialog(parent), browser_(new QTextBrowser(this)) {
  setWindowTitle(QStringLiteral("Tolmera Help"));
  setObjectName(QStringLiteral("HelpWindow"));
  browser_->setOpenExternalLinks(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(browser_);
  layout->addWidget(buttons);
  resize(560, 460);
}

bool THelpWindow::ShowTopic(int topic) {
  topic_ = topic;
  const QString path = HelpTopicPath(topic);
  if (path.isEmpty()) {
    browser_->setHtml(tr("<p>There is no help page for topic %1.</p>").arg(topic));
    return false;
  }
  browser_->setSource(QUrl::fromLocalFile(path));
  return true;
}

THelpWindow* ShowHelpTopic(QWidget* parent, int topic) {
  static QPointer<THelpWindow> window;
  if (!window) {
    window = new THelpWindow(parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    CenterWindow(window);
  }
  window->ShowTopic(topic);
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}

}  // namespace tlm
