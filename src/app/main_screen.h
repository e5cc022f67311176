#pragma once
// The main window: the outgoing and incoming fax logs on two tabs, the menus
// and buttons that start every other activity, start-up and closing.
#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>

#include "app/core/settings.h"
#include "app/table_access.h"

class QAction;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTabBar;
class QTableView;

namespace tlm {

class LogTableModel;
class TJustOne;
class TMainScreen;
class TPreviousInstance;

// The windows of other parts of the program, opened from the main window.
// An operation whose window is not installed tells the user so.
struct MainScreenHooks {
  std::function<void(TMainScreen&)> quickSetup;
  std::function<void(TMainScreen&, bool clone)> newFax;
  std::function<void(TMainScreen&)> editFax;
  std::function<void(TMainScreen&)> sendFax;
  std::function<void(TMainScreen&)> receiveButton;  // start or stop receive mode
  // Renders the current outgoing record into a temporary fax file; empty
  // when that failed.
  std::function<std::string(TMainScreen&)> renderFax;
  std::function<void(TMainScreen&, const QString& faxFile, const QString& description)> viewFax;
  std::function<void(TMainScreen&)> preferences;
  std::function<void(TMainScreen&)> phoneBook;
  std::function<void(TMainScreen&)> coverSheets;
  std::function<void(TMainScreen&)> faxLogCleanup;
  std::function<void(TMainScreen&)> problemSolver;
  std::function<void(TMainScreen&)> configurationInformation;
};

inline constexpr int kHelpContents = 1009;
inline constexpr int kHelpFaq = 911;
inline constexpr int kHelpTechnicalSupport = 1025;
inline constexpr const char* kWebsiteAddress = "https://www.tolmera.example/";

class TMainScreen : public QMainWindow {
  Q_OBJECT
 public:
  // `instance` may be null (tests); with it the window answers later copies.
  TMainScreen(TableProvider& tables, MainScreenHooks hooks = {}, const TPreviousInstance* instance = nullptr,
              QWidget* parent = nullptr);
  ~TMainScreen() override;

  // State other windows read and change.
  Settings& CurrentSettings() { return settings_; }
  TableAccess* FaxTable() const { return faxTable_.get(); }
  TableAccess* RecTable() const { return recTable_.get(); }
  TableProvider& Tables() const { return tables_; }
  bool FirstRun() const { return firstRun_; }
  void SetFirstRun(bool on) { firstRun_ = on; }  // quick set-up and preferences clear it
  bool ReceiveMode() const { return receiveMode_; }
  void SetReceiveMode(bool on);
  bool FaxInProgress() const { return faxInProgress_; }
  void SetFaxInProgress(bool on) { faxInProgress_ = on; }
  bool CloneRequest() const { return cloneRequest_; }
  int LastPageCount() const { return lastPageCount_; }
  void SetLastPageCount(int pages) { lastPageCount_ = pages; }
  const QString& HelpFile() const { return helpFile_; }
  // The receive folder (data folder + "receive/"), the destination of
  // received faxes.
  const QString& DestinationDir() const { return destinationDir_; }
  bool OutgoingTabShown() const;
  // The received log's current fax file in the receive folder; empty when
  // FAXFILE is not a plain file name.
  QString ReceivedFaxPath() const;
  void ShowTab(int page);  // 0 outgoing, 1 incoming, as a click on the tab

  void SetButtons();
  void SetStatus(const QString& text);
  // The Receive button's caption and hint ("STOP" while receive mode is on).
  void SetReceiveButton(const QString& caption, const QString& hint);
  QString StatusText() const;

  // Closes and reopens a log at its current record (after an append).
  void ReopenFaxLog();
  void ReopenRecFaxLog();
  // Re-reads a log's rows after its records changed.
  void RefreshLists();

  // True (after the receive-mode message) when receive mode forbids the
  // operation.
  bool RefusedInReceiveMode();

  // The operations, as the buttons and menu items run them.
  void NewFax();
  void CloneFax();
  void EditFax();
  void DeleteFax();
  void SendFax();
  void ViewFax();
  void ReceiveFaxes();
  void Preferences();
  void PhoneBook();
  void CoverSheets();
  void FaxLogCleanup();
  void RebuildIndexes();
  void ShowHintsClick();
  void About();
  void ProblemSolver();
  void ConfigurationInformation();
  void VisitWebsite();
  void ShowHelp(int topic);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  QWidget* BuildPage(const QString& title, QTableView* grid, LogTableModel* model);
  void BuildButtons(QWidget* bar, QWidget* bottom);
  QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, const QString& hint);
  QAction* MakeAction(QMenu* menu, const QString& text, const QString& hint, const QKeySequence& shortcut = {});

  void FormCreate();
  void FormActivate();
  bool CloseQuery();
  void FormClose();
  void PostCloseRequest();
  void TabChanged(int page);
  void ApplyHints(bool on);
  void FollowOrder(TableAccess* table, LogTableModel* model, const char* defaultTag);
  void SyncGridToTable(QTableView* grid, LogTableModel* model);
  bool HasCurrent(TableAccess* table) const;
  bool RunHook(const std::function<void(TMainScreen&)>& hook, const QString& what);
  void Reopen(std::unique_ptr<TableAccess>& table, LogTableModel* model);

  TableProvider& tables_;
  MainScreenHooks hooks_;
  std::unique_ptr<TableAccess> faxTable_;
  std::unique_ptr<TableAccess> recTable_;
  Settings settings_;

  bool notYetActivated_ = true;
  bool closeRequested_ = false;  // a log could not be opened
  bool receiveMode_ = false;
  bool faxInProgress_ = false;
  bool cloneRequest_ = false;
  bool firstRun_ = false;
  int lastPageCount_ = 0;
  QString helpFile_;
  QString destinationDir_;

  TJustOne* JustOne1 = nullptr;
  QTabBar* TabSet1 = nullptr;
  QStackedWidget* NoteBook = nullptr;
  QTableView* FaxGrid = nullptr;
  QTableView* RecFaxGrid = nullptr;
  LogTableModel* faxModel_ = nullptr;
  LogTableModel* recModel_ = nullptr;
  QWidget* ButtonBar = nullptr;
  QPushButton* Newbutton = nullptr;
  QPushButton* EditButton = nullptr;
  QPushButton* DeleteButton = nullptr;
  QPushButton* SendButton = nullptr;
  QPushButton* ViewFaxButton = nullptr;
  QPushButton* ReceiveButton = nullptr;
  QPushButton* ProblemSolverButton = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QPushButton* Exitbutton = nullptr;
  QLabel* status = nullptr;

  QAction* NewFaxItem = nullptr;
  QAction* EditFaxItem = nullptr;
  QAction* CloneFaxItem = nullptr;
  QAction* DeleteFaxItem = nullptr;
  QAction* SendFaxItem = nullptr;
  QAction* ReceiveFaxesItem = nullptr;
  QAction* ViewPrintItem = nullptr;
  QAction* ShowHintsItem = nullptr;
};

}  // namespace tlm
