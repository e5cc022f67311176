// View/Print from the main window over the real tables: a received fax
// opens in the viewer window by button, Ctrl+V and double click; an
// outgoing entry is rendered from its memos first and the rendered file is
// gone afterwards.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <filesystem>

#include "app/main_screen.h"
#include "app/storage_tables.h"
#include "compose/memo_transfer.h"
#include "gui_test_support.h"
#include "modal_driver.h"
#include "richtext/rich_text_editor.h"
#include "storage/log_tables.h"
#include "storage/xb_components.h"
#include "viewer/fax_viewer_window.h"
#include "viewer/viewer_hooks.h"
#include "viewer_fixtures.h"

namespace tlm {
namespace {

using namespace tlm::testing;

class ViewFromMainWindow : public ::testing::Test {
 protected:
  ViewFromMainWindow() {
    App();
    driver.passThrough.insert("tlm::TRebuildInd");
  }

  // The first start creates the tables and is answered Yes to the rebuild
  // it offers, so later starts ask nothing.
  std::unique_ptr<TMainScreen> OpenMain(bool first = false) {
    if (first) driver.Click(QMessageBox::Yes);
    MainScreenHooks hooks;
    InstallViewerHooks(hooks);
    tables = CreateStorageTables();
    auto w = std::make_unique<TMainScreen>(*tables, std::move(hooks));
    w->show();
    EXPECT_TRUE(WaitUntil([&] { return driver.Idle(); }));
    Settle();
    return w;
  }

  // Answers the next viewer window: records what it shows, then closes it.
  void ExpectViewer(const std::string& status, std::string* file = nullptr) {
    driver.Then([this, status, file](QWidget* w) {
      auto* viewer = qobject_cast<TFaxViewer*>(w);
      ASSERT_NE(viewer, nullptr) << w->metaObject()->className();
      ASSERT_TRUE(WaitUntil([&] { return viewer->StatusPanel->text() != QLatin1String("Loading..."); }));
      EXPECT_EQ(viewer->StatusPanel->text().toStdString(), status);
      if (file) {
        *file = viewer->FaxViewer->FileName();
        EXPECT_TRUE(std::filesystem::exists(*file));
      }
      ++viewed;
      QTest::mouseClick(viewer->CloseButton, Qt::LeftButton);
    });
  }

  DataFolderScope data;
  ModalDriver driver;
  std::unique_ptr<TableProvider> tables;
  int viewed = 0;
};

TEST_F(ViewFromMainWindow, AReceivedFaxByButtonShortcutAndDoubleClick) {
  {
    auto first = OpenMain(true);  // creates the tables and the receive folder
  }
  std::filesystem::create_directories(data.dir.File("receive"));
  WriteNumberedFax(data.dir.File("receive/FAX0001.APF"), 2, 500);
  {
    TXbTable table;
    TXbEngine engine(table);
    ASSERT_TRUE(OpenRecFaxDBF(table, engine, data.dir.Folder()));
    ASSERT_TRUE(table.Append() && table.SetDate("DATEREC", "20240302") && table.SetString("TIMEREC", "09:10") &&
                table.SetString("FROM", "ACME") && table.SetString("FAXFILE", "FAX0001.APF") && table.Post());
  }
  auto w = OpenMain();
  w->ShowTab(1);
  auto* grid = w->findChild<QTableView*>(QStringLiteral("RecFaxGrid"));
  ASSERT_NE(grid, nullptr);
  grid->setCurrentIndex(grid->model()->index(0, 0));

  ExpectViewer("Page 1 of 2");
  QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("ViewFaxButton")), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }));
  ExpectViewer("Page 1 of 2");
  QApplication::setActiveWindow(w.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
  QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }));
  ExpectViewer("Page 1 of 2");
  const QRect cell = grid->visualRect(grid->model()->index(0, 0));
  ASSERT_FALSE(cell.isEmpty());
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
  QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }));
  EXPECT_EQ(viewed, 3);
  EXPECT_TRUE(std::filesystem::exists(data.dir.File("receive/FAX0001.APF")));  // a received fax stays
  EXPECT_TRUE(driver.unexpected.empty()) << driver.unexpected.front();
}

TEST_F(ViewFromMainWindow, AnOutgoingEntryIsRenderedAndItsFileRemoved) {
  {
    auto first = OpenMain(true);
  }
  {
    TXbTable table;
    TXbEngine engine(table);
    ASSERT_TRUE(OpenFaxDBF(table, engine, data.dir.Folder()));
    RichTextEditor doc;
    ASSERT_TRUE(doc.SetRtfText("{\\rtf1\\ansi Dear customer,\\par here is the offer.\\page Second page.\\par}"));
    ASSERT_TRUE(table.Append() && table.SetString("SUBJECT", "Offer") && table.SetString("RECIPIENT", "Bob"));
    ASSERT_TRUE(SaveRichText(doc, "RTFDOC", engine, data.dir.Folder()));
    ASSERT_TRUE(table.Post());
  }
  auto w = OpenMain();
  w->ShowTab(0);
  auto* grid = w->findChild<QTableView*>(QStringLiteral("FaxGrid"));
  grid->setCurrentIndex(grid->model()->index(0, 0));
  std::string rendered;
  ExpectViewer("Page 1 of 2", &rendered);
  QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("ViewFaxButton")), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }));
  EXPECT_EQ(viewed, 1);
  ASSERT_FALSE(rendered.empty());
  EXPECT_FALSE(std::filesystem::exists(rendered));
  EXPECT_TRUE(driver.unexpected.empty()) << driver.unexpected.front();
}

}  // namespace
}  // namespace tlm
