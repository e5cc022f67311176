#include "app/main_screen.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "app/core/button_states.h"
#include "app/date_text.h"
#include "app/help_window.h"
#include "app/hints.h"
#include "app/log_table_model.h"
#include "app/maintenance/rebuild_indexes.h"
#include "app/maintenance/receive_notes.h"
#include "app/message_boxes.h"
#include "app/single_instance.h"
#include "app/splash_form.h"
#include "app/window_placement.h"
#include "platform/data_folder.h"
#include "platform/profile_file.h"

namespace tlm {

namespace {

constexpr int kOutgoingPage = 0;
constexpr int kIncomingPage = 1;
constexpr int kEngineProperty = 1009;
constexpr const char* kWindowClass = "TMainScreen";

const QString kReceiveModeMessage = QStringLiteral(
    "You are in Fax Receive mode. This operation cannot be done\rwhile in Fax Receive mode. Click the Stop "
    "button to end\rFax Receive mode");

using Kind = LogColumn::Kind;

std::vector<LogColumn> FaxGridColumns() {
  return {{QStringLiteral("Sent"), "SENT", Kind::kSentYesNo, 3},
          {QStringLiteral("Date Sent"), "DATESENT", Kind::kDate, 10},
          {QStringLiteral("Time Sent"), "TIMESENT", Kind::kText, 5},
          {QStringLiteral("Recipient"), "RECIPIENT", Kind::kText, 20},
          {QStringLiteral("Phone"), "PHONE", Kind::kText, 15},
          {QStringLiteral("Pages"), "PAGES", Kind::kNumber, 5},
          {QStringLiteral("Subject"), "SUBJECT", Kind::kText, 20},
          {QStringLiteral("Last Attempt"), "LASTRESULT", Kind::kText, 35}};
}

std::vector<LogColumn> RecFaxGridColumns() {
  return {{QStringLiteral("Date Rec'd"), "DATEREC", Kind::kDate, 10},
          {QStringLiteral("Time Rec'd"), "TIMEREC", Kind::kText, 5},
          {QStringLiteral("From"), "FROM", Kind::kText, 20},
          {QStringLiteral("Pages"), "PAGES", Kind::kNumber, 2},
          {QStringLiteral("Notes"), "NOTES", Kind::kText, 20},
          {QStringLiteral("Fax File"), "FAXFILE", Kind::kText, 12}};
}

QString Trimmed(const std::string& stored) { return QString::fromLocal8Bit(stored.c_str()).trimmed(); }

// The start-up show state: a launcher asks for a minimised start through the
// environment, as a shortcut's "run minimised" does elsewhere.
bool StartedMinimized() { return qEnvironmentVariableIntValue("TOLMERA_START_MINIMIZED") != 0; }

}  // namespace

TMainScreen::TMainScreen(TableProvider& tables, MainScreenHooks hooks, const TPreviousInstance* instance,
                         QWidget* parent)
    : QMainWindow(parent), tables_(tables), hooks_(std::move(hooks)) {
  setObjectName(QStringLiteral("MainScreen"));
  setWindowTitle(QStringLiteral("Tolmera "));
  SetMainWindow(this);
  if (instance) JustOne1 = new TJustOne(this, *instance);

  BuildMenus();
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(6, 4, 6, 6);

  TabSet1 = new QTabBar(central);
  TabSet1->setObjectName(QStringLiteral("TabSet1"));
  TabSet1->addTab(QStringLiteral("Outgoing"));
  TabSet1->addTab(QStringLiteral("Incoming"));
  TabSet1->setExpanding(false);
  TabSet1->setDrawBase(false);
  layout->addWidget(TabSet1);

  NoteBook = new QStackedWidget(central);
  NoteBook->setObjectName(QStringLiteral("NoteBook"));
  FaxGrid = new QTableView;
  FaxGrid->setObjectName(QStringLiteral("FaxGrid"));
  RecFaxGrid = new QTableView;
  RecFaxGrid->setObjectName(QStringLiteral("RecFaxGrid"));
  faxModel_ = new LogTableModel(FaxGridColumns(), this);
  recModel_ = new LogTableModel(RecFaxGridColumns(), this);
  QWidget* sent = BuildPage(QStringLiteral("Outgoing Faxes"), FaxGrid, faxModel_);
  sent->setObjectName(QStringLiteral("Sent"));
  QWidget* received = BuildPage(QStringLiteral("Incoming Faxes"), RecFaxGrid, recModel_);
  received->setObjectName(QStringLiteral("Received"));
  NoteBook->addWidget(sent);
  NoteBook->addWidget(received);
  layout->addWidget(NoteBook, 1);

  ButtonBar = new QWidget(central);
  ButtonBar->setObjectName(QStringLiteral("ButtonBar"));
  auto* bottom = new QWidget(central);
  bottom->setObjectName(QStringLiteral("BottomPanel"));
  BuildButtons(ButtonBar, bottom);
  layout->addWidget(ButtonBar);
  layout->addWidget(bottom);
  setCentralWidget(central);

  // A tab chosen by mouse or keyboard shows its page.
  connect(TabSet1, &QTabBar::currentChanged, this, [this](int index) {
    if (index >= 0) TabChanged(index);
  });
  connect(FaxGrid, &QTableView::doubleClicked, this, [this] { ViewFax(); });
  connect(RecFaxGrid, &QTableView::doubleClicked, this, [this] { ViewFax(); });
  resize(820, 520);

  FormCreate();
}

TMainScreen::~TMainScreen() {
  faxModel_->SetTable(nullptr);
  recModel_->SetTable(nullptr);
  if (MainWindow() == this) SetMainWindow(nullptr);
}

QWidget* TMainScreen::BuildPage(const QString& title, QTableView* grid, LogTableModel* model) {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  auto* heading = new QLabel(title, page);
  heading->setObjectName(QStringLiteral("PanelTitle"));
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  heading->setAlignment(Qt::AlignCenter);
  heading->setFrameShape(QFrame::StyledPanel);
  heading->setMargin(3);
  layout->addWidget(heading);

  grid->setParent(page);
  grid->setModel(model);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setAlternatingRowColors(true);
  grid->setWordWrap(false);
  grid->horizontalHeader()->setHighlightSections(false);
  grid->horizontalHeader()->setStretchLastSection(true);
  QHeaderView* rows = grid->verticalHeader();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(grid->fontMetrics().height() + 6);
  rows->setMinimumWidth(18);
  const int charWidth = grid->fontMetrics().averageCharWidth();
  const auto& columns = model->Columns();
  for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
    const LogColumn& column = columns[static_cast<std::size_t>(i)];
    const int titleWidth = grid->fontMetrics().horizontalAdvance(column.title) + 16;
    // Dates take whatever room the short date format needs.
    const int textWidth = column.kind == LogColumn::Kind::kDate
                              ? grid->fontMetrics().horizontalAdvance(DisplayDate("20281231")) + 16
                              : column.widthChars * charWidth + 12;
    grid->setColumnWidth(i, std::max(titleWidth, textWidth));
  }
  connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [model](const QModelIndex& current) {
            if (current.isValid()) model->SetCurrentRow(current.row());
          });
  layout->addWidget(grid, 1);
  return page;
}

QPushButton* TMainScreen::MakeButton(QWidget* parent, const char* name, const QString& caption, const QString& hint) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  if (!hint.isEmpty()) button->setToolTip(hint);
  return button;
}

void TMainScreen::BuildButtons(QWidget* bar, QWidget* bottom) {
  Newbutton = MakeButton(bar, "Newbutton", QStringLiteral("&New"), QStringLiteral("Create a new fax"));
  EditButton = MakeButton(bar, "EditButton", QStringLiteral("&Edit"), QStringLiteral("Edit the currently selected fax"));
  DeleteButton =
      MakeButton(bar, "DeleteButton", QStringLiteral("&Delete"), QStringLiteral("Delete  the currently selected fax"));
  SendButton = MakeButton(bar, "SendButton", QStringLiteral("&Send"), QStringLiteral("Send the currently selected fax"));
  ViewFaxButton = MakeButton(bar, "ViewFaxButton", QStringLiteral("&View"),
                             QStringLiteral("See a preview of and optionally  print the fax"));
  ReceiveButton = MakeButton(bar, "ReceiveButton", QStringLiteral("&Receive"), QStringLiteral("Start receiving faxes"));
  ProblemSolverButton = MakeButton(bar, "ProblemSolverButton", QStringLiteral("Problem Solver"), {});
  auto* barLayout = new QHBoxLayout(bar);
  barLayout->setContentsMargins(0, 4, 0, 4);
  for (QPushButton* b : {Newbutton, EditButton, DeleteButton, SendButton, ViewFaxButton, ReceiveButton}) {
    barLayout->addWidget(b);
  }
  barLayout->addStretch();
  barLayout->addWidget(ProblemSolverButton);

  status = new QLabel(bottom);
  status->setObjectName(QStringLiteral("status"));
  status->setAlignment(Qt::AlignCenter);
  status->setFrameShape(QFrame::StyledPanel);
  status->setFrameShadow(QFrame::Sunken);
  status->setMinimumHeight(BitBtn1 ? 0 : status->fontMetrics().height() + 8);
  BitBtn1 = MakeButton(bottom, "BitBtn1", QStringLiteral("Preferences"), {});
  Exitbutton = MakeButton(bottom, "Exitbutton", QStringLiteral("E&xit"), QStringLiteral("Exit the program"));
  auto* bottomLayout = new QHBoxLayout(bottom);
  bottomLayout->setContentsMargins(0, 0, 0, 0);
  bottomLayout->addWidget(status, 1);
  bottomLayout->addWidget(BitBtn1);
  bottomLayout->addWidget(Exitbutton);

  connect(Newbutton, &QPushButton::clicked, this, &TMainScreen::NewFax);
  connect(EditButton, &QPushButton::clicked, this, &TMainScreen::EditFax);
  connect(DeleteButton, &QPushButton::clicked, this, &TMainScreen::DeleteFax);
  connect(SendButton, &QPushButton::clicked, this, &TMainScreen::SendFax);
  connect(ViewFaxButton, &QPushButton::clicked, this, &TMainScreen::ViewFax);
  connect(ReceiveButton, &QPushButton::clicked, this, &TMainScreen::ReceiveFaxes);
  connect(ProblemSolverButton, &QPushButton::clicked, this, &TMainScreen::ProblemSolver);
  connect(BitBtn1, &QPushButton::clicked, this, &TMainScreen::Preferences);
  connect(Exitbutton, &QPushButton::clicked, this, &QWidget::close);
}

QAction* TMainScreen::MakeAction(QMenu* menu, const QString& text, const QString& hint, const QKeySequence& shortcut) {
  QAction* action = menu->addAction(text);
  action->setObjectName(QString(text).remove(QChar('&')));
  if (!hint.isEmpty()) action->setToolTip(hint);
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  return action;
}

void TMainScreen::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
  file->setToolTipsVisible(true);
  NewFaxItem = MakeAction(file, QStringLiteral("&New Fax"), QStringLiteral("Create a new fax"));
  EditFaxItem = MakeAction(file, QStringLiteral("&Edit Fax"), {});
  CloneFaxItem = MakeAction(file, QStringLiteral("Clone Fax"), QStringLiteral("Clone the currently selected fax"));
  DeleteFaxItem = MakeAction(file, QStringLiteral("Delete Fax"), {});
  QAction* cleanup = MakeAction(file, QStringLiteral("Fax Log Cleanup"), {});
  file->addSeparator();
  SendFaxItem = MakeAction(file, QStringLiteral("Send Fax"), {}, QKeySequence(Qt::CTRL | Qt::Key_S));
  ReceiveFaxesItem = MakeAction(file, QStringLiteral("Receive Faxes"), {}, QKeySequence(Qt::CTRL | Qt::Key_R));
  ViewPrintItem = MakeAction(file, QStringLiteral("View/Print Fax"),
                             QStringLiteral("See a preview of and optionally  print the fax"),
                             QKeySequence(Qt::CTRL | Qt::Key_V));
  file->addSeparator();
  QAction* covers = MakeAction(file, QStringLiteral("C&over Sheets"), QStringLiteral("Create or modify cover page templates"));
  QAction* phone = MakeAction(file, QStringLiteral("&Phone Book"), QStringLiteral("Create or modify phone book entries"));
  QAction* rebuild = MakeAction(file, QStringLiteral("Rebuild &Indexes"), QStringLiteral("Do this every 2 weeks "));
  QAction* prefs = MakeAction(file, QStringLiteral("P&references"), QStringLiteral("Set Tolmera preferences"));
  file->addSeparator();
  QAction* exit = MakeAction(file, QStringLiteral("E&xit"), QStringLiteral("Exit to Windows"), QKeySequence(Qt::CTRL | Qt::Key_X));

  connect(NewFaxItem, &QAction::triggered, this, [this] { Newbutton->click(); });
  connect(EditFaxItem, &QAction::triggered, this, [this] { EditButton->click(); });
  connect(CloneFaxItem, &QAction::triggered, this, &TMainScreen::CloneFax);
  connect(DeleteFaxItem, &QAction::triggered, this, [this] { DeleteButton->click(); });
  connect(cleanup, &QAction::triggered, this, &TMainScreen::FaxLogCleanup);
  connect(SendFaxItem, &QAction::triggered, this, [this] { SendButton->click(); });
  connect(ReceiveFaxesItem, &QAction::triggered, this, [this] { ReceiveButton->click(); });
  connect(ViewPrintItem, &QAction::triggered, this, &TMainScreen::ViewFax);
  connect(covers, &QAction::triggered, this, &TMainScreen::CoverSheets);
  connect(phone, &QAction::triggered, this, &TMainScreen::PhoneBook);
  connect(rebuild, &QAction::triggered, this, &TMainScreen::RebuildIndexes);
  connect(prefs, &QAction::triggered, this, &TMainScreen::Preferences);
  connect(exit, &QAction::triggered, this, &QWidget::close);

  QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
  help->setToolTipsVisible(true);
  connect(MakeAction(help, QStringLiteral("Contents"), {}), &QAction::triggered, this, [this] { ShowHelp(kHelpContents); });
  connect(MakeAction(help, QStringLiteral("Frequently Asked Questions (FAQ)"), {}), &QAction::triggered, this,
          [this] { ShowHelp(kHelpFaq); });
  connect(MakeAction(help, QStringLiteral("Configuration Information"), {}), &QAction::triggered, this,
          &TMainScreen::ConfigurationInformation);
  connect(MakeAction(help, QStringLiteral("Technical Support"), {}), &QAction::triggered, this,
          [this] { ShowHelp(kHelpTechnicalSupport); });
  connect(MakeAction(help, QStringLiteral("About"), {}), &QAction::triggered, this, &TMainScreen::About);
  help->addSeparator();
  connect(MakeAction(help, QStringLiteral("Problem Solver"), {}), &QAction::triggered, this, &TMainScreen::ProblemSolver);
  connect(MakeAction(help, QStringLiteral("Visit Our Internet Website"), {}), &QAction::triggered, this,
          &TMainScreen::VisitWebsite);
  help->addSeparator();
  ShowHintsItem = MakeAction(help, QStringLiteral("Show Hints"), {});
  ShowHintsItem->setCheckable(true);
  connect(ShowHintsItem, &QAction::triggered, this, &TMainScreen::ShowHintsClick);
}

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
  try {
    // A window that never came up has no placement worth keeping.
    if (!notYetActivated_) SavePlacement(this, QString::fromLatin1(kWindowClass));
    SaveSettingsFile(SettingsFilePath().toStdString(), settings_);
  } catch (const ProfileWriteError& e) {
    ShowInformation(this, QString::fromLocal8Bit(e.what()));
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

bool TMainScreen::HasCurrent(TableAccess* table) const { return table && table->HasCurrentRecord(); }

void TMainScreen::SyncGridToTable(QTableView* grid, LogTableModel* model) {
  TableAccess* table = model->Table();
  const int row = table && table->HasCurrentRecord() ? model->RowOfRecord(table->RecNo()) : -1;
  if (row < 0) return;
  const QModelIndex index = model->index(row, std::max(0, grid->currentIndex().column()));
  grid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  grid->scrollTo(index);
}

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

// ---- operations -----------------------------------------------------------

void TMainScreen::NewFax() {
  const bool clone = cloneRequest_;
  cloneRequest_ = false;
  if (RefusedInReceiveMode()) return;
  if (!hooks_.newFax) {
    ShowInformation(this, tr("The fax editor is not available in this build of Tolmera."));
    return;
  }
  hooks_.newFax(*this, clone);
  SetButtons();
}

void TMainScreen::CloneFax() {
  if (!HasCurrent(faxTable_.get())) {
    QApplication::beep();
    return;
  }
  cloneRequest_ = true;
  NewFax();
}

void TMainScreen::EditFax() {
  if (RefusedInReceiveMode()) return;
  if (OutgoingTabShown()) {
    if (!HasCurrent(faxTable_.get())) {
      QApplication::beep();
      return;
    }
    RunHook(hooks_.editFax, tr("The fax editor"));
  } else {
    if (!HasCurrent(recTable_.get())) {
      QApplication::beep();
      return;
    }
    TEditReceiveNotes notes(*recTable_, this);
    CenterWindow(&notes);
    if (notes.exec() == QDialog::Accepted) recModel_->Refresh();
  }
  SetButtons();
}

void TMainScreen::DeleteFax() {
  if (OutgoingTabShown()) {
    if (!HasCurrent(faxTable_.get())) {
      QApplication::beep();
      return;
    }
    const QString question = QStringLiteral("Delete the current fax?\r\n(subject: \"") +
                             Trimmed(faxTable_->Field("SUBJECT")) + QStringLiteral("\")");
    if (!AskYesNoDefaultNo(this, question, QStringLiteral("Delete"))) return;
    faxTable_->DeleteRecord();
    faxModel_->Refresh();
  } else {
    if (RefusedInReceiveMode()) return;
    if (!HasCurrent(recTable_.get())) {
      QApplication::beep();
      return;
    }
    const QString question = QStringLiteral("Delete the current fax?\r\n(from: \"") +
                             Trimmed(recTable_->Field("FROM")) + QStringLiteral("\")");
    if (!AskYesNoDefaultNo(this, question, QStringLiteral("Delete"))) return;
    const QString file = Trimmed(recTable_->Field("FAXFILE"));
    recTable_->DeleteRecord();
    // An empty name would name the receive folder itself.
    if (!file.isEmpty()) QFile::remove(destinationDir_ + file);
    recModel_->Refresh();
  }
  SetButtons();
}

void TMainScreen::SendFax() {
  if (!HasCurrent(faxTable_.get())) {
    QApplication::beep();
    return;
  }
  RunHook(hooks_.sendFax, tr("Sending"));
  SetButtons();
}

void TMainScreen::ViewFax() {
  if (RefusedInReceiveMode()) return;
  const bool outgoing = OutgoingTabShown();
  TableAccess* table = outgoing ? faxTable_.get() : recTable_.get();
  if (!HasCurrent(table)) {
    QApplication::beep();
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  SetStatus(QStringLiteral("Preparing files for viewing..."));
  QString file;
  QString description;
  if (outgoing) {
    if (hooks_.renderFax) file = QString::fromStdString(hooks_.renderFax(*this));
    if (file.isEmpty()) {
      QApplication::restoreOverrideCursor();
      SetStatus({});
      ShowInformation(this, QStringLiteral("Error creating fax file"));
      return;
    }
    description = QStringLiteral("To: ") + Trimmed(table->Field("RECIPIENT")) + QStringLiteral("             Subject: ") +
                  Trimmed(table->Field("SUBJECT")) + QStringLiteral("             Sent: ") + SentDateText(*table);
  } else {
    file = destinationDir_ + Trimmed(table->Field("FAXFILE"));
    if (!QFileInfo(file).isFile()) {
      QApplication::restoreOverrideCursor();
      SetStatus({});
      ShowInformation(this, QStringLiteral("Fax file is missing"));
      return;
    }
    description = QStringLiteral("From: ") + Trimmed(table->Field("FROM")) + QStringLiteral("             Received: ") +
                  ReceivedDateText(*table) + QStringLiteral("             Fax File: ") + file.toLower();
  }
  SetStatus(QStringLiteral("Loading viewer..."));
  QApplication::restoreOverrideCursor();
  if (hooks_.viewFax) {
    hooks_.viewFax(*this, file, description);
  } else {
    ShowInformation(this, tr("The fax viewer is not available in this build of Tolmera."));
  }
  SetStatus({});
  ButtonBar->setEnabled(true);
  if (outgoing) QFile::remove(file);
}

void TMainScreen::ReceiveFaxes() {
  if (!hooks_.receiveButton) {
    ShowInformation(this, tr("Receiving is not available in this build of Tolmera."));
    return;
  }
  hooks_.receiveButton(*this);
  SetButtons();
}

void TMainScreen::Preferences() {
  if (RefusedInReceiveMode()) return;
  RunHook(hooks_.preferences, tr("The preferences window"));
}

void TMainScreen::PhoneBook() {
  if (RefusedInReceiveMode()) return;
  RunHook(hooks_.phoneBook, tr("The phone book"));
}

void TMainScreen::CoverSheets() {
  if (RefusedInReceiveMode()) return;
  RunHook(hooks_.coverSheets, tr("The cover sheet editor"));
}

void TMainScreen::FaxLogCleanup() {
  if (RefusedInReceiveMode()) return;
  if (RunHook(hooks_.faxLogCleanup, tr("The fax log cleanup"))) RefreshLists();
}

void TMainScreen::RebuildIndexes() {
  if (RefusedInReceiveMode()) return;
  if (!faxTable_ || !recTable_) return;
  FaxGrid->setUpdatesEnabled(false);
  RecFaxGrid->setUpdatesEnabled(false);
  {
    TRebuildInd rebuild(*faxTable_, *recTable_, tables_, this);
    CenterWindow(&rebuild);
    rebuild.exec();
  }
  faxModel_->Refresh();
  recModel_->Refresh();
  FaxGrid->setUpdatesEnabled(true);
  RecFaxGrid->setUpdatesEnabled(true);
  SetButtons();
}

void TMainScreen::ShowHintsClick() {
  settings_.hintsOn = ShowHintsItem->isChecked();
  try {
    SaveSettingsFile(SettingsFilePath().toStdString(), settings_);
  } catch (const ProfileWriteError& e) {
    ShowInformation(this, QString::fromLocal8Bit(e.what()));
  }
  ApplyHints(settings_.hintsOn);
}

void TMainScreen::About() {
  TSplashform about(this);
  CenterWindow(&about);
  about.exec();
}

void TMainScreen::ProblemSolver() { RunHook(hooks_.problemSolver, tr("The problem solver")); }

void TMainScreen::ConfigurationInformation() {
  RunHook(hooks_.configurationInformation, tr("The configuration report"));
}

void TMainScreen::VisitWebsite() {
  if (RefusedInReceiveMode()) return;
  QDesktopServices::openUrl(QUrl(QString::fromLatin1(kWebsiteAddress)));
}

void TMainScreen::ShowHelp(int topic) { ShowHelpTopic(this, topic); }

}  // namespace tlm
