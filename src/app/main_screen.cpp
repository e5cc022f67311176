// The main window's life: start-up, first activation, closing, and the
// state every operation consults (tabs, SetButtons, receive mode).
#include "app/main_screen.h"

#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTableView>
#include <QTimer>

#include "app/core/button_states.h"
#include "app/hints.h"
#include "app/log_grid.h"
#include "app/log_table_model.h"
#include "app/message_boxes.h"
#include "app/window_placement.h"
#include "platform/data_folder.h"
#include "platform/profile_file.h"

namespace tlm {

namespace {

constexpr int kOutgoingPage = 0;
constexpr int kEngineProperty = 1009;
constexpr const char* kWindowClass = "TMainScreen";

const QString kReceiveModeMessage = QStringLiteral(
    "You are in Fax Receive mode. This operation cannot be done\rwhile in Fax Receive mode. Click the Stop "
    "button to end\rFax Receive mode");

// The start-up show state: a launcher asks for a minimised start through the
// environment, as a shortcut's "run minimised" does elsewhere.
bool StartedMinimized() { return qEnvironmentVariableIntValue("TOLMERA_START_MINIMIZED") != 0; }

}  // namespace

// ---- start-up -------------------------------------------------------------

void TMainScreen::FormCreate() {
  notYetActivated_ = true;
  tables_.SetEngineProperty(kEngineProperty, 0);
  ShowTab(kOutgoingPage);

  faxTable_ = tables_.OpenFaxLog();
  if (!faxTable_) {
    ShowInformation(this, QStringLiteral("Unable to open/create the FAX datafile - closing program"));
    PostCloseRequest();
  }
  recTable_ = tables_.OpenRecFaxLog();
  if (!recTable_) {
    ShowInformation(this, QStringLiteral("Unable to open/create the FAX RECEIVE datafile - closing program"));
    PostCloseRequest();
  }
  settings_ = LoadSettingsFile(SettingsFilePath().toStdString());
  firstRun_ = ApplyFirstStartRule(settings_);
  helpFile_ = QString::fromStdString(ShareFolder()) + QStringLiteral("help/");
  receiveMode_ = false;
  faxInProgress_ = false;
  destinationDir_ = QString::fromStdString(DataFolder()) + QStringLiteral("receive/");
  QDir().mkpath(destinationDir_);  // an existing folder is fine

  ShowHintsItem->setChecked(settings_.hintsOn);
  ApplyHints(settings_.hintsOn);
}

void TMainScreen::PostCloseRequest() {
  closeRequested_ = true;
  QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TMainScreen::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (notYetActivated_) QTimer::singleShot(0, this, &TMainScreen::FormActivate);
}

void TMainScreen::FormActivate() {
  // A window about to close because a log failed does nothing more.
  if (!notYetActivated_ || closeRequested_) return;
  notYetActivated_ = false;
  RestorePlacement(this, QString::fromLatin1(kWindowClass));
  // The lists are filled once, in the order SetButtons chooses.
  FollowOrder(faxTable_.get(), faxModel_, "DATESENT");
  FollowOrder(recTable_.get(), recModel_, "DATETIME");
  faxModel_->SetTable(faxTable_.get());
  recModel_->SetTable(recTable_.get());
  SetButtons();
  if (StartedMinimized()) {
    showMinimized();
  } else {
    raise();
    activateWindow();
  }
  if (firstRun_ && hooks_.quickSetup) hooks_.quickSetup(*this);
  if (faxTable_->TagNumber("DATEND") == 0 || recTable_->TagNumber("DATEND") == 0) {
    if (AskYesNo(this, QStringLiteral("The log files need to be reindexed.\rDo this now?"), QStringLiteral("REINDEX"))) {
      RebuildIndexes();
    }
  }
  if (settings_.atStartup && !receiveMode_) ReceiveFaxes();
}

// ---- closing ---------------------------------------------------------------

void TMainScreen::closeEvent(QCloseEvent* event) {
  if (!CloseQuery()) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

bool TMainScreen::CloseQuery() {
  if (faxInProgress_ &&
      !AskYesNo(this, QStringLiteral("You are receiving a fax. Exit the program?"), QStringLiteral("Exit"))) {
    return false;
  }
  return true;
}

void TMainScreen::FormClose() {
  if (receiveMode_) ReceiveFaxes();  // stops receive mode
  SetButtons();
  // A start that failed before the window came up leaves TLM.INI as it was:
  // no placement of a window never shown, and the first start still pending.
  if (!notYetActivated_) {
    try {
      SavePlacement(this, QString::fromLatin1(kWindowClass));
      SaveSettingsFile(SettingsFilePath().toStdString(), settings_);
    } catch (const ProfileWriteError& e) {
      ShowInformation(this, QString::fromLocal8Bit(e.what()));
    }
  }
  faxModel_->SetTable(nullptr);
  recModel_->SetTable(nullptr);
  faxTable_.reset();
  recTable_.reset();
}

// ---- state ----------------------------------------------------------------

bool TMainScreen::OutgoingTabShown() const { return NoteBook->currentIndex() == kOutgoingPage; }

void TMainScreen::ShowTab(int page) {
  if (TabSet1->currentIndex() == page) {
    TabChanged(page);
  } else {
    TabSet1->setCurrentIndex(page);  // runs TabChanged
  }
}

void TMainScreen::TabChanged(int page) {
  NoteBook->setCurrentIndex(page);
  if (faxTable_ || recTable_) SetButtons();
}

void TMainScreen::SetReceiveMode(bool on) {
  receiveMode_ = on;
  SetButtons();
}

void TMainScreen::SetStatus(const QString& text) {
  status->setText(text);
  status->repaint();
}

QString TMainScreen::StatusText() const { return status->text(); }

void TMainScreen::SetReceiveButton(const QString& caption, const QString& hint) {
  ReceiveButton->setText(caption);
  ReceiveButton->setToolTip(hint);
}

bool TMainScreen::HasCurrent(TableAccess* table) const { return table && table->HasCurrentRecord(); }

void TMainScreen::SyncGridToTable(QTableView* grid, LogTableModel* model) { SelectCurrentRecordRow(grid, model); }

void TMainScreen::FollowOrder(TableAccess* table, LogTableModel* model, const char* defaultTag) {
  if (!table) return;
  switch (DecideOrderChange(table->HasCurrentRecord(), table->Order())) {
    case OrderChange::kNone:
      return;
    case OrderChange::kNaturalOrder:
      table->SetOrder(0);
      break;
    case OrderChange::kDefaultTagAndTop:
      table->SetOrder(table->TagNumber(defaultTag));
      table->First();
      break;
  }
  if (model->Table() == table) model->Refresh();
}

void TMainScreen::SetButtons() {
  FollowOrder(faxTable_.get(), faxModel_, "DATESENT");
  FollowOrder(recTable_.get(), recModel_, "DATETIME");
  ButtonInputs in;
  in.outgoingTabShown = OutgoingTabShown();
  in.outgoingHasRecord = HasCurrent(faxTable_.get());
  in.receivedHasRecord = HasCurrent(recTable_.get());
  in.receiveMode = receiveMode_;
  const ButtonStates s = ComputeButtonStates(in);
  FaxGrid->setEnabled(s.faxGrid);
  RecFaxGrid->setEnabled(s.recFaxGrid);
  Newbutton->setEnabled(s.newFax);
  NewFaxItem->setEnabled(s.newFax);
  CloneFaxItem->setEnabled(s.cloneFax);
  SendButton->setEnabled(s.send);
  SendFaxItem->setEnabled(s.send);
  ReceiveFaxesItem->setEnabled(s.receiveFaxes);
  for (QPushButton* b : {EditButton, DeleteButton}) b->setEnabled(s.editDelete);
  for (QAction* a : {EditFaxItem, DeleteFaxItem}) a->setEnabled(s.editDelete);
  ViewFaxButton->setEnabled(s.view);
  ViewPrintItem->setEnabled(s.view);
  SyncGridToTable(FaxGrid, faxModel_);
  SyncGridToTable(RecFaxGrid, recModel_);
}

void TMainScreen::RefreshLists() {
  faxModel_->Refresh();
  recModel_->Refresh();
  SetButtons();
}

void TMainScreen::Reopen(std::unique_ptr<TableAccess>& table, LogTableModel* model) {
  if (!table) return;
  table->ReopenAtSameRecord();
  model->Refresh();
}

void TMainScreen::ReopenFaxLog() { Reopen(faxTable_, faxModel_); }
void TMainScreen::ReopenRecFaxLog() { Reopen(recTable_, recModel_); }

bool TMainScreen::RefusedInReceiveMode() {
  if (!receiveMode_) return false;
  ShowInformation(this, kReceiveModeMessage);
  return true;
}

bool TMainScreen::RunHook(const std::function<void(TMainScreen&)>& hook, const QString& what) {
  if (!hook) {
    ShowInformation(this, tr("%1 is not available in this build of Tolmera.").arg(what));
    return false;
  }
  hook(*this);
  return true;
}

void TMainScreen::ApplyHints(bool on) { SetHintsEnabled(on); }

}  // namespace tlm
