// The fax editor as the main window's New, Edit and Clone open it, on the
// real tables: a fax written from a template and a phone book entry, edited,
// cloned, cancelled; the records read back by python3-dbf.
#include <QFontDialog>
#include <QMenu>
#include <QMessageBox>
#include <QToolBar>
#include <QToolButton>

#include "app/core/settings.h"
#include "app/field_text.h"
#include "app/log_table_model.h"
#include "compose/fax_editor.h"
#include "compose_gui_support.h"

namespace tlm {
namespace {

using testing::ActionIn;
using testing::ButtonIn;
using testing::ClickRow;
using testing::EditIn;
using testing::Retype;
using testing::TypeInto;

class FaxEditorTest : public testing::ComposeWindowTest {
 protected:
  QPushButton* MainButton(TMainScreen& w, const char* name) { return w.findChild<QPushButton*>(name); }

  void AddFax(const std::string& subject, const std::string& recipient, const std::string& cover,
              const std::string& doc) {
    AddRecord(LogTable::kOutgoing, {{"SUBJECT", subject},
                                    {"RECIPIENT", recipient},
                                    {"PHONE", "555-0100"},
                                    {"RTFCOVER", cover},
                                    {"RTFDOC", doc}});
  }
};

TEST_F(FaxEditorTest, ANewFaxFromATemplateAndAPhoneBookEntryIsSavedListedAndReadBack) {
  AddCover("Standard", testing::TemplateRtf());
  AddPhone("Adams", "555-0101");
  auto w = OpenMain();
  QString coverText;
  driver.Then([&](QWidget* dialog) {
    auto* editor = qobject_cast<TFaxEditor*>(dialog);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->windowTitle(), "Fax Editor");
    EXPECT_EQ(editor->CurrentPage(), TFaxEditor::kRecipientPage);
    EXPECT_FALSE(editor->findChild<QToolButton*>("Zoombutton")->isVisible());
    QTest::keyClicks(EditIn(editor, "Subject"), "Offer");
    // "&Phonebook": the chosen entry fills name and number.
    driver.Then([&](QWidget* book) {
      EXPECT_EQ(book->windowTitle(), "Phone Book Browser");
      EXPECT_FALSE(ButtonIn(book, "CloseButton")->isVisible());
      ClickRow(book, "PhoneGrid", 0);
      ButtonIn(book, "AcceptButton")->click();
    });
    ButtonIn(editor, "AddressButton")->click();
    EXPECT_EQ(EditIn(editor, "Recipient")->text(), "Adams");
    EXPECT_EQ(EditIn(editor, "FaxNumber")->text(), "555-0101");
    // The template's placeholders are filled as the fields stand now.
    ButtonIn(editor, "CoverButton")->click();
    EXPECT_TRUE(editor->findChild<QToolButton*>("Zoombutton")->isVisible());
    driver.Then([&](QWidget* browse) {
      EXPECT_EQ(browse->windowTitle(), "Cover Sheet Template Browser");
      EXPECT_FALSE(ButtonIn(browse, "CloseButton")->isVisible());
      ButtonIn(browse, "AcceptButton")->click();
    });
    ActionIn(editor, "LoadTemplateAction")->trigger();
    coverText = editor->Cover()->Document()->toPlainText();
    EXPECT_FALSE(editor->Cover()->InsertMarksVisible());
    // A later change of the recipient leaves the cover as it was filled.
    Retype(EditIn(editor, "Recipient"), "Adams & Co");
    EXPECT_EQ(editor->Cover()->Document()->toPlainText(), coverText);
    ButtonIn(editor, "DocumentButton")->click();
    TypeInto(editor->Document(), "Please find our offer.");
    ButtonIn(editor, "OKButton")->click();
  });
  MainButton(*w, "Newbutton")->click();
  ExpectAllAnswered();
  EXPECT_EQ(coverText, "To: Adams\nFax: 555-0101\nRegards");

  auto* grid = w->findChild<QTableView*>("FaxGrid");
  ASSERT_EQ(grid->model()->rowCount(), 1);
  EXPECT_EQ(grid->model()->index(0, 3).data().toString(), "Adams & Co");
  EXPECT_TRUE(MainButton(*w, "EditButton")->isEnabled());
  w->close();

  const std::vector<testing::DbfRecord> records = testing::ReadDbf(File("TLM.DBF"));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].values.at("SUBJECT"), "Offer");
  EXPECT_EQ(records[0].values.at("RECIPIENT"), "Adams & Co");
  EXPECT_EQ(records[0].values.at("PHONE"), "555-0101");
  EXPECT_TRUE(records[0].values.at("RTFCOVER").startsWith("{\\rtf1"));
  EXPECT_TRUE(records[0].values.at("RTFCOVER").contains("Adams"));
  EXPECT_FALSE(records[0].values.at("RTFCOVER").contains("[RECIPIENT]"));
  EXPECT_TRUE(records[0].values.at("RTFDOC").contains("Please find our offer."));
  EXPECT_NE(records[0].values.at("SENT"), "T");
}

TEST_F(FaxEditorTest, EditChangesTheSameRecordCloneAppendsWithTheClonePrefixCancelWritesNothing) {
  AddFax("Offer", "Baker", testing::TemplateRtf("Cover text"), "{\\rtf1\\ansi Body text\\par}");
  auto w = OpenMain();
  driver.Then([&](QWidget* dialog) {
    auto* editor = qobject_cast<TFaxEditor*>(dialog);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(EditIn(editor, "Subject")->text(), "Offer");
    EXPECT_EQ(EditIn(editor, "Recipient")->text(), "Baker");
    EXPECT_TRUE(editor->Document()->Document()->toPlainText().contains("Body text"));
    Retype(EditIn(editor, "Subject"), "Better offer");
    ButtonIn(editor, "OKButton")->click();
  });
  MainButton(*w, "EditButton")->click();
  ExpectAllAnswered();

  driver.Then([&](QWidget* dialog) {
    auto* editor = qobject_cast<TFaxEditor*>(dialog);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(EditIn(editor, "Subject")->text(), "[clone]Better offer");
    EXPECT_TRUE(editor->Cover()->Document()->toPlainText().contains("Cover text"));
    ButtonIn(editor, "OKButton")->click();
  });
  w->CloneFax();
  ExpectAllAnswered();

  driver.Then([&](QWidget* dialog) {
    Retype(EditIn(dialog, "Subject"), "Not kept");
    ButtonIn(dialog, "CancelButton")->click();
  });
  MainButton(*w, "EditButton")->click();
  ExpectAllAnswered();
  // The clone is the current record after the log was reopened.
  EXPECT_EQ(FieldText(w->FaxTable()->Field("SUBJECT")), "[clone]Better offer");
  w->close();

  const std::vector<testing::DbfRecord> records = testing::ReadDbf(File("TLM.DBF"));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].values.at("SUBJECT"), "Better offer");
  EXPECT_EQ(records[1].values.at("SUBJECT"), "[clone]Better offer");
  EXPECT_EQ(records[1].values.at("RECIPIENT"), "Baker");
  EXPECT_EQ(records[1].values.at("PHONE"), "555-0100");
  EXPECT_TRUE(records[1].values.at("RTFDOC").contains("Body text"));
  EXPECT_TRUE(records[1].values.at("RTFCOVER").contains("Cover text"));
}

TEST_F(FaxEditorTest, AMemoThatIsNotRtfIsReportedAndKeptUnlessChanged) {
  const std::string tooDeep = "{\\rtf1 Deep " + std::string(5000, '{') + "x";
  AddFax("Foreign", "Carter", "plain words, no rich text", tooDeep);
  auto w = OpenMain();
  driver.Then([&](QWidget* dialog) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().contains("RTFCOVER")) << box->text().toStdString();
    EXPECT_TRUE(box->text().contains("RTFDOC")) << box->text().toStdString();
    box->button(QMessageBox::Ok)->click();
  });
  driver.Then([&](QWidget* dialog) {
    auto* editor = qobject_cast<TFaxEditor*>(dialog);
    ASSERT_NE(editor, nullptr);
    Retype(EditIn(editor, "Subject"), "Foreign, edited");
    ButtonIn(editor, "OKButton")->click();
  });
  MainButton(*w, "EditButton")->click();
  ExpectAllAnswered();
  w->close();
  const std::vector<testing::DbfRecord> records = testing::ReadDbf(File("TLM.DBF"));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].values.at("SUBJECT"), "Foreign, edited");
  EXPECT_EQ(records[0].values.at("RTFCOVER"), "plain words, no rich text");
  EXPECT_EQ(records[0].values.at("RTFDOC").toStdString(), tooDeep);
}

TEST_F(FaxEditorTest, ANumberWithLettersIsRefusedTheZoomAndTheToolbarAnswer) {
  auto w = OpenMain();
  driver.Then([&](QWidget* dialog) {
    auto* editor = qobject_cast<TFaxEditor*>(dialog);
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(EditIn(editor, "FaxNumber"), "1234567890123456789012345678901234567890");
    EXPECT_EQ(EditIn(editor, "FaxNumber")->text().size(), 25);  // the field's width
    Retype(EditIn(editor, "FaxNumber"), "555-CALL");
    driver.Click(QMessageBox::Ok);
    ButtonIn(editor, "OKButton")->click();
    ASSERT_FALSE(driver.boxes.empty());
    EXPECT_TRUE(driver.boxes.back().text.contains("555-CALL"));
    EXPECT_TRUE(editor->isVisible());

    // Zoom of the document page.
    ButtonIn(editor, "DocumentButton")->click();
    auto* zoom = editor->findChild<QToolButton*>("Zoombutton");
    QMenu* menu = zoom->menu();
    QAction* eighty = nullptr;
    for (QAction* a : menu->actions()) {
      if (a->text() == "80%") eighty = a;
    }
    ASSERT_NE(eighty, nullptr);
    eighty->trigger();
    EXPECT_EQ(zoom->text(), "80%");
    EXPECT_EQ(editor->Document()->Zoom(), 80);
    EXPECT_EQ(editor->Cover()->Zoom(), 100);
    ButtonIn(editor, "CoverButton")->click();
    EXPECT_EQ(zoom->text(), "100%");

    // Word wrap and the page break question.
    QAction* wrap = editor->Document()->ToolBar()->findChild<QAction*>("WordWrapAction");
    ASSERT_NE(wrap, nullptr);
    EXPECT_EQ(wrap->toolTip(), "Toggle word wrap off");
    wrap->trigger();
    EXPECT_FALSE(editor->Document()->WordWrap());
    EXPECT_EQ(wrap->toolTip(), "Toggle word wrap on");

    TypeInto(editor->Document(), "First page");
    QTest::keyClick(editor->Document()->View()->viewport(), Qt::Key_Return);
    QTest::keyClicks(editor->Document()->View()->viewport(), "Second page");
    driver.Click(QMessageBox::Yes);
    editor->Document()->ToolBar()->findChild<QAction*>("PageBreakAction")->trigger();
    EXPECT_EQ(driver.boxes.back().caption, "Page Break");
    EXPECT_EQ(driver.boxes.back().text, "Add a page break here?");
    EXPECT_TRUE(editor->Document()->CurrentParagraph().startsNewPage);

    Retype(EditIn(editor, "FaxNumber"), "+1 (555) 010-0199,,22");
    // A ligature has no place in the table's code page: refused, not replaced.
    EditIn(editor, "Recipient")->insert(QString(3, QChar(0xFB01)));
    driver.Click(QMessageBox::Ok);
    ButtonIn(editor, "OKButton")->click();
    EXPECT_TRUE(driver.boxes.back().text.startsWith("The character \"\uFB01\"")) << driver.boxes.back().text.toStdString();
    EXPECT_EQ(editor->CurrentPage(), TFaxEditor::kRecipientPage);
    Retype(EditIn(editor, "Recipient"), "Fine");
    ButtonIn(editor, "OKButton")->click();
  });
  MainButton(*w, "Newbutton")->click();
  ExpectAllAnswered();
  w->close();
  const std::vector<testing::DbfRecord> records = testing::ReadDbf(File("TLM.DBF"));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].values.at("PHONE"), "+1 (555) 010-0199,,22");
  EXPECT_EQ(records[0].values.at("RECIPIENT"), "Fine");
  EXPECT_TRUE(records[0].values.at("RTFDOC").contains("\\page")) << records[0].values.at("RTFDOC").toStdString();
}

TEST_F(FaxEditorTest, NewAndEditAreRefusedInReceiveModeEditOfAnEmptyLogOnlyBeeps) {
  auto w = OpenMain();
  MainButton(*w, "EditButton")->click();  // disabled: nothing happens
  w->EditFax();                            // beeps, opens nothing
  w->SetReceiveMode(true);
  driver.Click(QMessageBox::Ok);
  MainButton(*w, "Newbutton")->click();
  ExpectAllAnswered();
  ASSERT_EQ(driver.boxes.size(), 2u);
  EXPECT_TRUE(driver.boxes.back().text.startsWith("You are in Fax Receive mode."));
  w->SetReceiveMode(false);
  w->close();
  EXPECT_TRUE(testing::ReadDbf(File("TLM.DBF")).empty());
}

TEST_F(FaxEditorTest, TheDefaultFontChosenInTheEditorIsKeptAtCloseAndSpellCheckIsAtHand) {
  auto w = OpenMain();
  QString spellWindow;
  driver.Then([&](QWidget* dialog) {
    auto* editor = qobject_cast<TFaxEditor*>(dialog);
    ASSERT_NE(editor, nullptr);
    ButtonIn(editor, "CoverButton")->click();
    QAction* font = editor->Cover()->ToolBar()->findChild<QAction*>("DefaultFontAction");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->toolTip(), "Set the default font for the editor");
    driver.Then([&](QWidget* fonts) {
      auto* picker = qobject_cast<QFontDialog*>(fonts);
      ASSERT_NE(picker, nullptr);
      QFont chosen(QStringLiteral("Liberation Serif"));
      chosen.setPointSize(14);
      chosen.setBold(true);
      picker->setCurrentFont(chosen);
      static_cast<QDialog*>(picker)->accept();
    });
    font->trigger();
    // The spell-check command of the editor opens the checker (or says that
    // no dictionary is installed).
    driver.Then([&](QWidget* spell) {
      spellWindow = spell->windowTitle();
      qobject_cast<QDialog*>(spell)->reject();
    });
    editor->Cover()->SpellCheckAction()->trigger();
    ButtonIn(editor, "CancelButton")->click();
  });
  MainButton(*w, "Newbutton")->click();
  ExpectAllAnswered();
  EXPECT_TRUE(spellWindow == "Spell Check" || spellWindow == "Information") << spellWindow.toStdString();
  EXPECT_EQ(w->CurrentSettings().fontName, "Liberation Serif");
  // Closing the main window saves its settings record, which holds the choice.
  w->close();
  const Settings saved = LoadSettingsFile(File("TLM.INI"));
  EXPECT_EQ(saved.fontName, "Liberation Serif");
  EXPECT_EQ(saved.fontSize, 14);
  EXPECT_TRUE(saved.fontBold);
}

}  // namespace
}  // namespace tlm
