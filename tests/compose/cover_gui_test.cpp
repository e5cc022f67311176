// The cover templates from the main window's "C&over Sheets": new, clone,
// edit and delete through the template editor with its placeholders; the
// paragraph properties dialog; a template that cannot be read. The table is
// read back by python3-dbf, its tag by the Perl XBase module.
#include <QComboBox>
#include <QMenu>
#include <QMessageBox>

#include "compose/cover_editor.h"
#include "compose/fax_editor.h"
#include "compose/paragraph_prop_dlg.h"
#include "compose_gui_support.h"
#include "platform/file_util.h"

namespace tlm {
namespace {

using testing::ButtonIn;
using testing::ClickRow;
using testing::EditIn;
using testing::GridColumn;
using testing::Retype;
using testing::TypeInto;

class CoverSheetTest : public testing::ComposeWindowTest {
 protected:
  // Opens "C&over Sheets" from the main window and runs `use` in the browser.
  void WithBrowser(TMainScreen& w, const std::function<void(QWidget*)>& use) {
    driver.Then([=](QWidget* browse) {
      EXPECT_EQ(browse->windowTitle(), "Cover Sheet Template Browser");
      use(browse);
      ButtonIn(browse, "CloseButton")->click();
    });
    w.CoverSheets();
    ExpectAllAnswered();
  }

  static void ChooseInsertItem(QWidget* editor, const QString& item) {
    QMenu* menu = ButtonIn(editor, "InsertButton")->menu();
    ASSERT_NE(menu, nullptr);
    for (QAction* a : menu->actions()) {
      if (a->text() == item) {
        a->trigger();
        return;
      }
    }
    ADD_FAILURE() << "no menu item " << item.toStdString();
  }
};

TEST_F(CoverSheetTest, TemplatesAreMadeClonedEditedAndDeletedWithTheirPlaceholders) {
  auto w = OpenMain();
  WithBrowser(*w, [&](QWidget* browse) {
    EXPECT_FALSE(ButtonIn(browse, "AcceptButton")->isVisible());
    EXPECT_FALSE(ButtonIn(browse, "CancelButton")->isVisible());
    EXPECT_FALSE(ButtonIn(browse, "EditButton")->isEnabled());
    driver.Then([&](QWidget* dialog) {
      auto* editor = qobject_cast<TCoverEditor*>(dialog);
      ASSERT_NE(editor, nullptr);
      EXPECT_EQ(editor->windowTitle(), "Cover Sheet Template Editor");
      EXPECT_EQ(EditIn(editor, "CoverDescription")->text(), "{description}");
      Retype(EditIn(editor, "CoverDescription"), "Standard");
      TypeInto(editor->Cover(), "To: ");
      ChooseInsertItem(editor, "Recipient");
      QTest::keyClicks(editor->Cover()->View()->viewport(), " at ");
      ChooseInsertItem(editor, "Fax Number");
      EXPECT_EQ(editor->Cover()->Document()->toPlainText(), "To: [RECIPIENT] at [FAX#]");
      ButtonIn(editor, "OKButton")->click();
    });
    ButtonIn(browse, "NewButton")->click();
    EXPECT_EQ(GridColumn(browse, "CoverGrid"), QStringList{"Standard"});

    // Clone offers "[clone]" and the description; the next New is plain.
    driver.Then([&](QWidget* dialog) {
      auto* editor = qobject_cast<TCoverEditor*>(dialog);
      ASSERT_NE(editor, nullptr);
      EXPECT_EQ(EditIn(editor, "CoverDescription")->text(), "[clone]Standard");
      EXPECT_EQ(editor->Cover()->Document()->toPlainText(), "To: [RECIPIENT] at [FAX#]");
      ButtonIn(editor, "OKButton")->click();
    });
    ButtonIn(browse, "CloneButton")->click();
    driver.Then([&](QWidget* dialog) {
      EXPECT_EQ(EditIn(dialog, "CoverDescription")->text(), "{description}");
      ButtonIn(dialog, "CancelButton")->click();
    });
    ButtonIn(browse, "NewButton")->click();
    EXPECT_EQ(GridColumn(browse, "CoverGrid"), (QStringList{"Standard", "[clone]Standard"}));

    ClickRow(browse, "CoverGrid", 1);
    driver.Then([&](QWidget* dialog) {
      Retype(EditIn(dialog, "CoverDescription"), "Alpha");
      ButtonIn(dialog, "OKButton")->click();
    });
    ButtonIn(browse, "EditButton")->click();
    EXPECT_EQ(GridColumn(browse, "CoverGrid"), (QStringList{"Alpha", "Standard"}));

    ClickRow(browse, "CoverGrid", 0);
    driver.Click(QMessageBox::Yes);
    ButtonIn(browse, "DeleteButton")->click();
    EXPECT_EQ(driver.boxes.back().text, "Delete the current cover template?:\nAlpha");
    EXPECT_EQ(GridColumn(browse, "CoverGrid"), QStringList{"Standard"});
  });
  w->close();

  const std::vector<testing::DbfRecord> records = testing::ReadDbf(File("TLMCOV.DBF"));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].values.at("DESCRIPT"), "Standard");
  EXPECT_TRUE(records[0].values.at("COVER").contains("TLMINSERT 1")) << records[0].values.at("COVER").toStdString();
  EXPECT_TRUE(records[0].values.at("COVER").contains("TLMINSERT 2"));
  EXPECT_TRUE(records[1].deleted);
  EXPECT_EQ(records[1].values.at("DESCRIPT"), "Alpha");
  EXPECT_EQ(testing::ReadTagKeys(File("TLMCOV.CDX"), "DESCRIPT"), std::vector<std::string>{"Standard"});
}

TEST_F(CoverSheetTest, TheTemplateTagListsDescriptionsInOrder) {
  for (const char* d : {"Memo", "Invoice", "Zebra", "Blank"}) AddCover(d, "{\\rtf1 x\\par}");
  auto w = OpenMain();
  WithBrowser(*w, [&](QWidget* browse) {
    EXPECT_EQ(GridColumn(browse, "CoverGrid"), (QStringList{"Blank", "Invoice", "Memo", "Zebra"}));
  });
  w->close();
  EXPECT_EQ(testing::ReadTagKeys(File("TLMCOV.CDX"), "DESCRIPT"),
            (std::vector<std::string>{"Blank", "Invoice", "Memo", "Zebra"}));
}

TEST_F(CoverSheetTest, ATemplateWhoseMemoIsMissingLeavesTheCoverAsItWas) {
  AddCover("Broken", testing::TemplateRtf());
  // The memo file loses every block after its header.
  std::string memo;
  ASSERT_TRUE(ReadWholeFile(File("TLMCOV.FPT"), memo));
  testing::WriteText(File("TLMCOV.FPT"), memo.substr(0, 512));
  auto w = OpenMain();
  driver.Then([&](QWidget* dialog) {
    auto* editor = qobject_cast<TFaxEditor*>(dialog);
    ASSERT_NE(editor, nullptr);
    ButtonIn(editor, "CoverButton")->click();
    TypeInto(editor->Cover(), "My own cover");
    driver.Then([&](QWidget* browse) { ButtonIn(browse, "AcceptButton")->click(); });
    driver.Click(QMessageBox::Ok);
    testing::ActionIn(editor, "LoadTemplateAction")->trigger();
    EXPECT_TRUE(driver.boxes.back().text.contains("\"Broken\" cannot be read")) << driver.boxes.back().text.toStdString();
    EXPECT_EQ(editor->Cover()->Document()->toPlainText(), "My own cover");
    ButtonIn(editor, "CancelButton")->click();
  });
  w->findChild<QPushButton*>("Newbutton")->click();
  ExpectAllAnswered();
  w->close();
}

TEST(ParagraphProperties, UnitsIndentsSpacingAndAnUnreadableNumber) {
  testing::App();
  RichTextEditor editor;
  ParagraphAttributes start;
  start.leftIndent = 720;
  editor.SetCurrentParagraph(start);
  testing::ModalDriver driver;
  TParagraphPropDlg dialog(editor);
  EXPECT_EQ(dialog.windowTitle(), "Paragraph Properties");
  auto* units = dialog.findChild<QComboBox*>("ComboBox1");
  auto* firstLine = dialog.findChild<QComboBox*>("FirstIndentCombo");
  ASSERT_TRUE(units && firstLine);
  EXPECT_EQ(units->currentText(), "Inch");
  EXPECT_EQ(EditIn(&dialog, "LeftIndent")->text(), "0.50");
  // The first line starts where the others do.
  EXPECT_EQ(firstLine->currentText(), "Same as Left Indent");
  EXPECT_FALSE(EditIn(&dialog, "FirstIndent")->isEnabled());
  firstLine->setCurrentIndex(1);
  EXPECT_TRUE(EditIn(&dialog, "FirstIndent")->isEnabled());
  Retype(EditIn(&dialog, "FirstIndent"), "0.75");
  EXPECT_EQ(dialog.Values().firstIndent, 1080);
  EXPECT_EQ(EditIn(&dialog, "LeftIndent")->toolTip(), "Specify left indent for the paragraph in inches");
  units->setCurrentIndex(1);
  EXPECT_EQ(EditIn(&dialog, "LeftIndent")->text(), "1.27");
  EXPECT_EQ(EditIn(&dialog, "FirstIndent")->toolTip(), "Specify first line indent for the paragraph in centimeters");
  EXPECT_EQ(dialog.Values().leftIndent, 720);
  units->setCurrentIndex(0);

  Retype(EditIn(&dialog, "SpaceBeforePts"), "6");
  EXPECT_EQ(dialog.Values().spaceBefore, 120);
  firstLine->setCurrentIndex(0);  // "Same as Left Indent"
  EXPECT_FALSE(EditIn(&dialog, "FirstIndent")->isEnabled());
  Retype(EditIn(&dialog, "LeftIndent"), "1");
  EXPECT_EQ(EditIn(&dialog, "FirstIndent")->text(), "1");
  EXPECT_EQ(dialog.Values().leftIndent, 1440);
  EXPECT_EQ(dialog.Values().firstIndent, 1440);

  Retype(EditIn(&dialog, "RightIndent"), "x");
  EXPECT_EQ(dialog.Values().rightIndent, 0);  // the stored value stays
  driver.Click(QMessageBox::Ok);
  dialog.accept();
  EXPECT_TRUE(testing::WaitUntil([&] { return driver.Idle(); }));
  ASSERT_EQ(driver.boxes.size(), 1u);
  EXPECT_EQ(driver.boxes[0].text, "'x' is not a valid floating point value");
  EXPECT_EQ(dialog.result(), 0);

  Retype(EditIn(&dialog, "RightIndent"), "0.25");
  Retype(EditIn(&dialog, "SpaceAfterPts"), "3");
  Retype(EditIn(&dialog, "LineHeightPts"), "14");
  ButtonIn(&dialog, "OKButton")->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  const ParagraphAttributes applied = editor.CurrentParagraph();
  EXPECT_EQ(applied.leftIndent, 1440);
  EXPECT_EQ(applied.firstIndent, 0);  // relative to the left indent
  EXPECT_EQ(applied.rightIndent, 360);
  EXPECT_EQ(applied.spaceBefore, 120);
  EXPECT_EQ(applied.spaceAfter, 60);
  EXPECT_EQ(applied.lineHeight, 280);
}

}  // namespace
}  // namespace tlm
