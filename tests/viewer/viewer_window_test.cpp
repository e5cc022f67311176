// The viewer window as a user works it: opening, paging, zoom steps, the
// print range dialog and its saved choices, printing into a PDF file and
// exporting a page.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QCheckBox>
#include <QTest>
#include <filesystem>

#include "gui_test_support.h"
#include "modal_driver.h"
#include "platform/profile_file.h"
#include "viewer/fax_viewer_window.h"
#include "viewer/pre_print_form.h"
#include "viewer_fixtures.h"

namespace tlm {
namespace {

using namespace tlm::testing;

class ViewerWindow : public ::testing::Test {
 protected:
  ViewerWindow() { App(); }

  // Opens the window on `file` and waits for it to load.
  void Open(const std::string& file, int viewerWidth = 0) {
    window = std::make_unique<TFaxViewer>();
    window->Open(QString::fromStdString(file), QStringLiteral("From: ACME             Received: 01/02/24"));
    if (viewerWidth > 0) window->FaxViewer->setFixedWidth(viewerWidth);
    window->show();
    ASSERT_TRUE(WaitUntil([&] { return window->StatusPanel->text() != QLatin1String("Loading..."); }));
  }
  std::string File(const std::string& name) { return data.dir.File(name); }
  int PdfPages(const std::string& pdf) {
    const std::string info = Text("pdfinfo " + pdf);
    const auto at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
  }
  std::string Text(const std::string& command) {
    const std::string out = File("out.txt");
    EXPECT_EQ(RunShell(command + " > " + out), 0) << command;
    return ReadFile(out);
  }

  DataFolderScope data;
  ModalDriver driver;
  std::unique_ptr<TFaxViewer> window;
};

TEST_F(ViewerWindow, OpensAtTheZoomThatFitsAndPagesWithItsButtons) {
  WriteNumberedFax(File("fax.apf"), 3);
  Open(File("fax.apf"), 800);  // 800 / 1728 × 150 = 69: 75%
  EXPECT_EQ(window->windowTitle(), "Fax Viewer ");
  EXPECT_EQ(window->ZoomPercent(), 75);
  EXPECT_TRUE(window->ZoomItem(75)->isChecked());
  EXPECT_EQ(window->FaxViewer->Window().DisplayedSize(), QSize(1296, 1500));
  EXPECT_EQ(window->StatusPanel->text(), "Page 1 of 3");
  EXPECT_TRUE(window->NextButton->isVisible());
  QTest::mouseClick(window->NextButton, Qt::LeftButton);
  EXPECT_EQ(window->StatusPanel->text(), "Page 2 of 3");
  QTest::mouseClick(window->LastButton, Qt::LeftButton);
  EXPECT_EQ(window->StatusPanel->text(), "Page 3 of 3");
  QTest::mouseClick(window->NextButton, Qt::LeftButton);
  EXPECT_EQ(window->FaxViewer->CurrentPage(), 3);
  QTest::mouseClick(window->PrevButton, Qt::LeftButton);
  QTest::mouseClick(window->FirstButton, Qt::LeftButton);
  EXPECT_EQ(window->StatusPanel->text(), "Page 1 of 3");
  // The keyboard reaches the viewer.
  QTest::keyClick(&window->FaxViewer->Window(), Qt::Key_PageDown);
  EXPECT_EQ(window->StatusPanel->text(), "Page 2 of 3");

  // Zoom steps, and nothing past either end.
  QTest::mouseClick(window->ZoomInButton, Qt::LeftButton);
  EXPECT_EQ(window->ZoomPercent(), 100);
  EXPECT_FALSE(window->FaxViewer->Scaling());
  QTest::mouseClick(window->ZoomInButton, Qt::LeftButton);
  QTest::mouseClick(window->ZoomInButton, Qt::LeftButton);
  QTest::mouseClick(window->ZoomInButton, Qt::LeftButton);
  EXPECT_EQ(window->ZoomPercent(), 200);
  EXPECT_TRUE(window->ZoomItem(200)->isChecked());
  EXPECT_EQ(window->FaxViewer->Window().DisplayedSize(), QSize(3456, 4000));
  window->ZoomItem(25)->trigger();
  EXPECT_EQ(window->FaxViewer->Window().DisplayedSize(), QSize(432, 500));
  QTest::mouseClick(window->ZoomOutButton, Qt::LeftButton);
  EXPECT_EQ(window->ZoomPercent(), 25);

  int topic = 0;
  window->showHelp = [&](QWidget*, int t) { topic = t; };
  QTest::mouseClick(window->Helpbutton, Qt::LeftButton);
  EXPECT_EQ(topic, 1021);

  window->RotationItem(1)->trigger();
  EXPECT_EQ(window->FaxViewer->Rotation(), 1);
  EXPECT_TRUE(window->RotationItem(1)->isChecked());
  EXPECT_FALSE(window->RotationItem(0)->isChecked());
  window->RotationItem(0)->trigger();
  EXPECT_EQ(window->FaxViewer->PageDimensions(), QSize(1728, 2000));
  EXPECT_TRUE(driver.unexpected.empty()) << driver.unexpected.front();
}

TEST_F(ViewerWindow, ANarrowPageOpensAtFullSizeAndOnePageHidesThePageButtons) {
  // A standard page shown at half width (864 pixels) in a 900-pixel viewer.
  WriteFax(File("one.apf"), {PageWithBlocks(1728, 300, {{0, 0, 1728, 2}})}, /*standard=*/true);
  Open(File("one.apf"), 900);
  EXPECT_EQ(window->FaxViewer->PageDimensions(), QSize(864, 300));
  EXPECT_EQ(window->ZoomPercent(), 100);
  EXPECT_TRUE(window->ZoomItem(100)->isChecked());
  for (QPushButton* b : {window->FirstButton, window->PrevButton, window->NextButton, window->LastButton}) {
    EXPECT_FALSE(b->isVisible());
  }
  EXPECT_EQ(window->StatusPanel->text(), "Page 1 of 1");
}

TEST_F(ViewerWindow, AFileThatCannotBeOpenedLeavesTheWindowEmpty) {
  driver.Click(QMessageBox::Ok);
  Open(File("missing.apf"));
  ASSERT_EQ(driver.boxes.size(), 1u);
  EXPECT_EQ(driver.boxes[0].text, "Error opening fax file");
  EXPECT_EQ(window->StatusPanel->text(), "No file loaded");
  EXPECT_TRUE(window->isVisible());
  // Printing and exporting without a fax do nothing.
  QTest::mouseClick(window->Printbutton, Qt::LeftButton);
  window->ExportItem("BMP")->trigger();
  EXPECT_TRUE(driver.unexpected.empty()) << driver.unexpected.front();
  EXPECT_EQ(driver.boxes.size(), 1u);
}

TEST_F(ViewerWindow, PrintsTheChosenRangeIntoAPdfWithTheFooter) {
  WriteNumberedFax(File("fax.apf"), 3);
  Open(File("fax.apf"));
  window->FaxPrinter.SetPdfOutput(QString::fromStdString(File("fax.pdf")));

  // Pages 3 to 2 are refused; the choices are kept though cancelled.
  driver.Then([](QWidget* w) {
    auto* form = qobject_cast<TPrePrintForm*>(w);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->windowTitle(), "Print");
    EXPECT_EQ(form->ToPage->value(), 3);
    EXPECT_EQ(form->ToPage->maximum(), 3);
    form->FromPage->setValue(3);
    form->ToPage->setValue(2);
    QTest::mouseClick(form->OkButton, Qt::LeftButton);
    EXPECT_TRUE(form->isVisible());
    form->PrintHeader->setChecked(false);
    QTest::mouseClick(form->CancelButton, Qt::LeftButton);
  });
  QTest::mouseClick(window->Printbutton, Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }));
  ProfileFile ini(File("TLM.INI"));
  EXPECT_EQ(ini.Value("Printing", "Header").value_or("?"), "0");
  EXPECT_EQ(ini.Value("Printing", "Footer").value_or("?"), "1");
  EXPECT_FALSE(std::filesystem::exists(File("fax.pdf")));

  driver.Then([](QWidget* w) {
    auto* form = qobject_cast<TPrePrintForm*>(w);
    ASSERT_NE(form, nullptr);
    EXPECT_FALSE(form->PrintHeader->isChecked());  // as saved
    form->PrintHeader->setChecked(true);
    QTest::mouseClick(form->OkButton, Qt::LeftButton);
  });
  QTest::mouseClick(window->Printbutton, Qt::LeftButton);
  ASSERT_TRUE(std::filesystem::exists(File("fax.pdf")));
  EXPECT_EQ(PdfPages(File("fax.pdf")), 3);
  const std::string page2 = Text("pdftotext -f 2 -l 2 -layout " + File("fax.pdf") + " -");
  EXPECT_NE(page2.find("From: ACME"), std::string::npos);
  // The footer is the last text of the page.
  const auto last = page2.find_last_not_of("\n\f ");
  EXPECT_EQ(page2.rfind("Page: 2 of 3", last), last + 1 - std::string("Page: 2 of 3").size()) << page2;
  const std::string log = ReadFile(File("FAXPRINT.LOG"));
  EXPECT_NE(log.find("Printing " + File("fax.apf") + " started at "), std::string::npos);
  EXPECT_NE(log.find(" finished at "), std::string::npos);

  // The current page alone: the range fixed, several-a-sheet off.
  std::filesystem::remove(File("fax.pdf"));
  window->FaxViewer->SetCurrentPage(2);
  driver.Then([](QWidget* w) {
    auto* form = qobject_cast<TPrePrintForm*>(w);
    ASSERT_NE(form, nullptr);
    EXPECT_FALSE(form->FromPage->isEnabled());
    EXPECT_FALSE(form->MultiPage->isEnabled());
    EXPECT_EQ(form->FromPage->value(), 2);
    EXPECT_EQ(form->ToPage->value(), 2);
    QTest::mouseClick(form->OkButton, Qt::LeftButton);
  });
  QTest::mouseClick(window->ExplorerButton1, Qt::LeftButton);
  EXPECT_EQ(Text("pdftotext -layout " + File("fax.pdf") + " - | grep -c Page:"), "1\n");
  EXPECT_NE(Text("pdftotext " + File("fax.pdf") + " -").find("Page: 2 of 3"), std::string::npos);
  EXPECT_EQ(window->FaxPrinter.FirstPage(), 1);
  EXPECT_EQ(window->FaxPrinter.LastPage(), 3);
  EXPECT_TRUE(driver.unexpected.empty()) << driver.unexpected.front();
}

TEST_F(ViewerWindow, PrinterSetupTakesTheSystemDialogsRange) {
  WriteNumberedFax(File("fax.apf"), 3);
  Open(File("fax.apf"));
  driver.Then([this](QWidget* w) {
    auto* dialog = qobject_cast<QPrintDialog*>(w);
    ASSERT_NE(dialog, nullptr) << w->metaObject()->className();
    QPrinter* printer = dialog->printer();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QString::fromStdString(File("setup.pdf")));
    printer->setPrintRange(QPrinter::PageRange);
    printer->setFromTo(2, 3);
    dialog->done(QDialog::Accepted);
  });
  QTest::mouseClick(window->PrinterSetupButton, Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return driver.Idle(); }));
  EXPECT_EQ(window->FaxPrinter.PrinterName().toStdString(), File("setup.pdf"));
  driver.Then([](QWidget* w) {
    auto* form = qobject_cast<TPrePrintForm*>(w);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->FromPage->value(), 2);
    EXPECT_EQ(form->ToPage->value(), 3);
    QTest::mouseClick(form->OkButton, Qt::LeftButton);
  });
  QTest::mouseClick(window->Printbutton, Qt::LeftButton);
  EXPECT_EQ(PdfPages(File("setup.pdf")), 2);
  EXPECT_TRUE(driver.unexpected.empty()) << driver.unexpected.front();
}

TEST_F(ViewerWindow, ExportsCarryTheirFormatsExtension) {
  WriteNumberedFax(File("fax.apf"), 2, 400);
  Open(File("fax.apf"));
  window->FaxViewer->SetCurrentPage(2);
  auto save = [&](const std::string& name) {
    driver.Then([name](QWidget* w) {
      auto* dialog = qobject_cast<QFileDialog*>(w);
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
      // Typed into the name field, as a user does.
      auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      ASSERT_NE(edit, nullptr);
      edit->setText(QString::fromStdString(name));
      QMetaObject::invokeMethod(dialog, "accept");
    });
  };
  save(File("page.bmp"));  // the PCX item: written as page.PCX
  window->ExportItem("PCX")->trigger();
  ASSERT_TRUE(std::filesystem::exists(File("page.PCX")));
  EXPECT_FALSE(std::filesystem::exists(File("page.bmp")));
  EXPECT_EQ(RunShell("pcxtoppm " + File("page.PCX") + " > " + File("page.ppm") + " 2>/dev/null"), 0);
  save(File("page.bmp"));
  window->ExportItem("BMP")->trigger();
  EXPECT_EQ(ReadFile(File("page.bmp")).substr(0, 2), "BM");
  save(File("whole"));
  window->ExportPdfItem->trigger();
  ASSERT_TRUE(std::filesystem::exists(File("whole.pdf")));
  EXPECT_EQ(PdfPages(File("whole.pdf")), 2);
  // No working files are left beside the exports.
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(data.dir.Folder())) files += e.path().filename().string()[0] == '.';
  EXPECT_EQ(files, 0);
  EXPECT_TRUE(driver.unexpected.empty()) << driver.unexpected.front();
}

}  // namespace
}  // namespace tlm
