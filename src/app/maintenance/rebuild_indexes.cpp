#include "app/maintenance/rebuild_indexes.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <memory>

#include "app/table_access.h"

namespace tlm {

TRebuildInd::TRebuildInd(TableAccess& faxLog, TableAccess& recLog, TableProvider& tables, QWidget* parent)
    : QDialog(parent), faxLog_(faxLog), recLog_(recLog), tables_(tables), stepLabel_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("Rebuild Indexes"));
  setWindowFlag(Qt::WindowCloseButtonHint, false);
  auto* wait = new QLabel(QStringLiteral("Please wait..."), this);
  QFont bold = wait->font();
  bold.setBold(true);
  wait->setFont(bold);
  wait->setAlignment(Qt::AlignCenter);
  stepLabel_->setAlignment(Qt::AlignCenter);
  stepLabel_->setMinimumWidth(380);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(wait);
  layout->addWidget(stepLabel_);
}

void TRebuildInd::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (started_) return;
  started_ = true;
  QMetaObject::invokeMethod(this, &TRebuildInd::Run, Qt::QueuedConnection);
}

void TRebuildInd::Step(const QString& text) {
  steps_.append(text);
  stepLabel_->setText(text);
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TRebuildInd::Rebuild(TableAccess& table, const QString& removingText, const QString& rebuildingText) {
  Step(removingText);
  table.RemoveMarkedRecords();
  Step(rebuildingText);
  table.BuildIndexTags();
}

void TRebuildInd::Run() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  try {
    Rebuild(faxLog_, QStringLiteral("Removing FAX file records marked for deletion"),
            QStringLiteral("Rebuilding FAX file indexes"));
    Rebuild(recLog_, QStringLiteral("Removing Received FAX records marked for deletion"),
            QStringLiteral("Rebuilding Received FAX indexes"));
    if (std::unique_ptr<TableAccess> phone = tables_.OpenPhoneBook()) {
      Rebuild(*phone, QStringLiteral("Removing PHONE file records marked for deletion"),
              QStringLiteral("Rebuilding PHONE file indexes"));
    }
    if (std::unique_ptr<TableAccess> cover = tables_.OpenCoverTable()) {
      Rebuild(*cover, QStringLiteral("Removing COVER file records marked for deletion"),
              QStringLiteral("Rebuilding COVER file indexes"));
    }
  } catch (const std::exception&) {
    // Whatever failed, the window still closes; the tables keep what was done.
  }
  QApplication::restoreOverrideCursor();
  QMetaObject::invokeMethod(this, &QDialog::accept, Qt::QueuedConnection);
}

}  // namespace tlm
