#include "app/maintenance/log_cleanup_form.h"

#include <QApplication>
#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include "app/help_window.h"
#include "app/log_grid.h"
#include "app/log_table_model.h"
#include "app/maintenance/delete_before_date.h"
#include "app/maintenance/delete_conditions.h"
#include "app/message_boxes.h"
#include "app/received_fax_file.h"
#include "app/table_access.h"
#include "app/window_placement.h"
#include "storage/log_cleanup.h"

namespace tlm {

namespace {

using Kind = LogColumn::Kind;
constexpr int kOutgoingTab = 0;
constexpr int kIncomingTab = 1;
constexpr int kDeletedColumn = 0;

std::vector<LogColumn> SendGridColumns() {
  return {{QStringLiteral("Deleted?"), "", Kind::kIsDeleted, 3},
          {QStringLiteral("Date Sent"), "DATESENT", Kind::kDate, 10},
          {QStringLiteral("Time Sent"), "TIMESENT", Kind::kText, 5},
          {QStringLiteral("Recipient"), "RECIPIENT", Kind::kText, 20},
          {QStringLiteral("Subject"), "SUBJECT", Kind::kText, 20},
          {QStringLiteral("Phone"), "PHONE", Kind::kText, 15},
          {QStringLiteral("Last Attempt"), "LASTRESULT", Kind::kText, 35}};
}

std::vector<LogColumn> RecGridColumns() {
  return {{QStringLiteral("Deleted?"), "", Kind::kIsDeleted, 3},
          {QStringLiteral("Date Rec'd"), "DATEREC", Kind::kDate, 10},
          {QStringLiteral("Time Rec'd"), "TIMEREC", Kind::kText, 5},
          {QStringLiteral("From"), "FROM", Kind::kText, 20},
          {QStringLiteral("Pages"), "PAGES", Kind::kNumber, 5},
          {QStringLiteral("Fax File"), "FAXFILE", Kind::kText, 15},
          {QStringLiteral("Notes"), "NOTES", Kind::kText, 30}};
}

bool IsEmpty(TableAccess& log) { return log.FilteredCount() == 0; }

}  // namespace

TDMForm::TDMForm(TableAccess& faxLog, TableAccess& recLog, const QString& receiveDir, QWidget* parent)
    : QDialog(parent),
      faxLog_(faxLog),
      recLog_(recLog),
      receiveDir_(receiveDir),
      menuBar_(new QMenuBar(this)),
      tabs_(new QTabWidget(this)),
      SendGrid(new QTableView),
      RecGrid(new QTableView),
      sendModel_(new LogTableModel(SendGridColumns(), this)),
      recModel_(new LogTableModel(RecGridColumns(), this)),
      result_(new QLabel(this)) {
  setObjectName(QStringLiteral("DMForm"));
  setWindowTitle(QStringLiteral("Fax Log Cleanup Utility"));
  setSizeGripEnabled(true);

  actionsMenu_ = menuBar_->addMenu(QStringLiteral("&Actions"));
  deleteCurrentItem_ = actionsMenu_->addAction(QStringLiteral("Delete Current Fax"), this, &TDMForm::DeleteCurrentFax);
  deleteCurrentItem_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
  actionsMenu_->addSeparator();
  deleteBeforeItem_ =
      actionsMenu_->addAction(QStringLiteral("Delete All Before A Particular Date"), this, &TDMForm::DeleteBeforeDate);
  deleteSentItem_ = actionsMenu_->addAction(QStringLiteral("Delete All that Have Been Sent"), this, &TDMForm::DeleteSent);
  deleteNotSentItem_ =
      actionsMenu_->addAction(QStringLiteral("Delete All That Have NOT Been Sent"), this, &TDMForm::DeleteNotSent);
  deleteConditionsItem_ = actionsMenu_->addAction(QStringLiteral("Delete All Faxes Meeting Certain Conditions..."),
                                                  this, &TDMForm::DeleteForConditions);
  actionsMenu_->addSeparator();
  deleteAllItem_ = actionsMenu_->addAction(QStringLiteral("Delete All Faxes"), this, &TDMForm::DeleteAllFaxes);
  popupMenu_ = new QMenu(this);
  popupMenu_->addAction(QStringLiteral("Delete"), this, &TDMForm::DeleteCurrentFax);

  SendGrid->setObjectName(QStringLiteral("SendGrid"));
  RecGrid->setObjectName(QStringLiteral("RecGrid"));
  tabs_->setObjectName(QStringLiteral("PageControl"));
  tabs_->addTab(SendGrid, QStringLiteral("Outgoing Faxes"));
  tabs_->addTab(RecGrid, QStringLiteral("Incoming Faxes"));
  for (QTableView* grid : {SendGrid, RecGrid}) {
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid, &QWidget::customContextMenuRequested, this,
            [this, grid](const QPoint& at) { popupMenu_->exec(grid->viewport()->mapToGlobal(at)); });
    connect(grid, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
      if (index.column() == kDeletedColumn) DeleteCurrentFax();
    });
  }
  connect(tabs_, &QTabWidget::currentChanged, this, [this] { UpdateMenus(); });

  result_->setObjectName(QStringLiteral("LastResult"));
  auto* help = new QPushButton(QStringLiteral("&Help"), this);
  auto* close = new QPushButton(QStringLiteral("&Close"), this);
  help->setAutoDefault(false);
  close->setDefault(true);
  connect(help, &QPushButton::clicked, this, [this] { ShowHelpTopic(this, kHelpFaxLogCleanup); });
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(result_, 1);
  bottom->addWidget(help);
  bottom->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(menuBar_);
  layout->addWidget(tabs_, 1);
  layout->addLayout(bottom);
  resize(760, 420);
}

TDMForm::~TDMForm() {
  // Whatever closed the window, the logs get their filters back.
  if (filtersLifted_) {
    faxLog_.SetFilter(faxFilter_);
    recLog_.SetFilter(recFilter_);
  }
}

void TDMForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (firstActivation_) FormActivate();
}

void TDMForm::FormActivate() {
  firstActivation_ = false;
  faxFilter_ = faxLog_.Filter();
  recFilter_ = recLog_.Filter();
  filtersLifted_ = true;
  faxLog_.SetFilter("");
  recLog_.SetFilter("");
  SetUpLogGrid(SendGrid, sendModel_);
  SetUpLogGrid(RecGrid, recModel_);
  sendModel_->SetTable(&faxLog_);
  recModel_->SetTable(&recLog_);
  ShowTab(kOutgoingTab);
  Refresh();
}

void TDMForm::done(int result) {
  if (filtersLifted_) {
    faxLog_.SetFilter(faxFilter_);
    recLog_.SetFilter(recFilter_);
    filtersLifted_ = false;
  }
  sendModel_->SetTable(nullptr);
  recModel_->SetTable(nullptr);
  QDialog::done(result);
}

void TDMForm::ShowTab(int index) {
  tabs_->setCurrentIndex(index);
  UpdateMenus();
}

bool TDMForm::OutgoingShown() const { return tabs_->currentIndex() == kOutgoingTab; }
TableAccess& TDMForm::ShownLog() const { return OutgoingShown() ? faxLog_ : recLog_; }
LogTableModel* TDMForm::ShownModel() const { return OutgoingShown() ? sendModel_ : recModel_; }
QTableView* TDMForm::ShownGrid() const { return OutgoingShown() ? SendGrid : RecGrid; }
QString TDMForm::ShownLogWord() const {
  return OutgoingShown() ? QStringLiteral("outgoing") : QStringLiteral("received");
}
QString TDMForm::LastResult() const { return result_->text(); }

void TDMForm::UpdateMenus() {
  const bool outgoing = OutgoingShown();
  deleteSentItem_->setVisible(outgoing);
  deleteNotSentItem_->setVisible(outgoing);
  const bool sendEmpty = IsEmpty(faxLog_);
  const bool recEmpty = IsEmpty(recLog_);
  SendGrid->setEnabled(!sendEmpty);
  RecGrid->setEnabled(!recEmpty);
  SendGrid->setContextMenuPolicy(sendEmpty ? Qt::NoContextMenu : Qt::CustomContextMenu);
  RecGrid->setContextMenuPolicy(recEmpty ? Qt::NoContextMenu : Qt::CustomContextMenu);
  actionsMenu_->setEnabled(ShownGrid()->isEnabled());
  for (QAction* a : actionsMenu_->actions()) a->setEnabled(ShownGrid()->isEnabled());
  tabs_->setTabText(kOutgoingTab, sendEmpty ? QStringLiteral("OutGoing Faxes (none)") : QStringLiteral("Outgoing Faxes"));
  tabs_->setTabText(kIncomingTab, recEmpty ? QStringLiteral("Incoming Faxes (none)") : QStringLiteral("Incoming Faxes"));
}

void TDMForm::Refresh() {
  sendModel_->Refresh();
  recModel_->Refresh();
  SelectCurrentRecordRow(SendGrid, sendModel_);
  SelectCurrentRecordRow(RecGrid, recModel_);
  UpdateMenus();
}

void TDMForm::Report(const QString& operation, long count) {
  const QString text = QString::number(count) + QStringLiteral(" deleted.");
  result_->setText(operation + QStringLiteral(": ") + text);
  ShowInformation(this, text);
}

void TDMForm::DeleteOneFax(TableAccess& log, bool incoming) {
  // The fax file goes first; one that cannot go keeps the record from nothing.
  if (incoming) RemoveReceivedFaxFile(receiveDir_, TrimmedField(log.Field("FAXFILE")));
  log.DeleteRecord();
  rebuildNeeded_ = true;
}

void TDMForm::DeleteCurrentFax() {
  TableAccess& log = ShownLog();
  if (!log.HasCurrentRecord()) {
    QApplication::beep();
    return;
  }
  if (!AskYesNo(this, QStringLiteral("Delete this fax? (action is permanent)"), QStringLiteral("DELETE"))) return;
  // Deleting moves the table to the next record in the list (or the last).
  DeleteOneFax(log, !OutgoingShown());
  result_->setText(QStringLiteral("Delete Current Fax: 1 deleted."));
  Refresh();
}

void TDMForm::DeleteWhere(const std::string& condition, const QString& operation) {
  if (condition.empty()) return;
  TableAccess& log = ShownLog();
  const bool incoming = !OutgoingShown();
  QTableView* grid = ShownGrid();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  grid->setUpdatesEnabled(false);
  std::string error;
  const long count = log.DeleteWhere(
      condition,
      [&] {
        if (incoming) RemoveReceivedFaxFile(receiveDir_, TrimmedField(log.Field("FAXFILE")));
      },
      error);
  if (count > 0) rebuildNeeded_ = true;
  grid->setUpdatesEnabled(true);
  Refresh();
  QApplication::restoreOverrideCursor();
  if (count < 0) {
    result_->setText(operation + QStringLiteral(": nothing deleted."));
    ShowInformation(this, QStringLiteral("The faxes could not be deleted:\r") + QString::fromStdString(error));
    return;
  }
  Report(operation, count);
  if (!error.empty()) ShowInformation(this, QStringLiteral("The deletion stopped early:\r") + QString::fromStdString(error));
}

void TDMForm::DeleteBeforeDate() {
  QDate date;
  {
    TDeleteBeforeDate window(QDate::currentDate(), this);
    CenterWindow(&window);
    if (window.exec() != QDialog::Accepted || !window.Date().isValid()) return;
    date = window.Date();
  }
  const QString question = QStringLiteral("Delete all ") + ShownLogWord() + QStringLiteral(" faxes prior to ") +
                           QLocale::system().toString(date, QLocale::LongFormat) +
                           QStringLiteral(" (action is permanent)?");
  if (!AskYesNo(this, question, QStringLiteral("DELETE"))) return;
  DeleteWhere(BeforeDateCondition(OutgoingShown() ? "DATESENT" : "DATEREC", date.year(), date.month(), date.day()),
              QStringLiteral("Delete All Before ") + QLocale::system().toString(date, QLocale::ShortFormat));
}

void TDMForm::DeleteSent() {
  if (!OutgoingShown()) return;
  if (!AskYesNo(this, QStringLiteral("Delete all outgoing faxes which have been sent? (action is permanent)"),
                QStringLiteral("DELETE"))) {
    return;
  }
  DeleteWhere(".not. EMPTY(DATESENT)", QStringLiteral("Delete All that Have Been Sent"));
}

void TDMForm::DeleteNotSent() {
  if (!OutgoingShown()) return;
  if (!AskYesNo(this, QStringLiteral("Delete all outgoing faxes which have NOT been sent? (action is permanent)"),
                QStringLiteral("DELETE"))) {
    return;
  }
  DeleteWhere("EMPTY(DATESENT)", QStringLiteral("Delete All That Have NOT Been Sent"));
}

void TDMForm::DeleteForConditions() {
  TableAccess& log = ShownLog();
  const bool current = log.HasCurrentRecord();
  const auto field = [&](const char* name) { return current ? TrimmedField(log.Field(name)) : QString(); };
  std::string condition;
  {
    TDeleteForConditions window(OutgoingShown(), OutgoingShown() ? field("RECIPIENT") : QString(),
                                OutgoingShown() ? field("PHONE") : QString(),
                                OutgoingShown() ? QString() : field("FROM"), this);
    CenterWindow(&window);
    if (window.exec() != QDialog::Accepted) return;
    condition = window.Condition();
  }
  DeleteWhere(condition, QStringLiteral("Delete All Faxes Meeting Certain Conditions"));
}

void TDMForm::DeleteAllFaxes() {
  const QString question =
      QStringLiteral("Delete all ") + ShownLogWord() + QStringLiteral(" faxes ? (action is permanent)");
  if (!AskYesNo(this, question, QStringLiteral("DELETE ALL"))) return;
  DeleteWhere(".true.", QStringLiteral("Delete All Faxes"));
}

}  // namespace tlm
