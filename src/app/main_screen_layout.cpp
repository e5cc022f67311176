// The main window's widgets: menus, tabs, the two grids, the button bar and
// the status line, and what each control runs.
#include "app/main_screen.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>

#include "app/log_grid.h"
#include "app/log_table_model.h"
#include "app/single_instance.h"
#include "app/window_placement.h"

namespace tlm {

namespace {

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
  SetUpLogGrid(grid, model);
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

}  // namespace tlm
