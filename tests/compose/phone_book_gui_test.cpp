// The phone book from the main window's "&Phone Book": new, edit and delete
// through the entry editor, the order by name, the button states, import
// and export of CSV and vCard files; the table read back by python3-dbf.
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "app/log_table_model.h"
#include "compose/phone_book.h"
#include "compose/phone_book_editor.h"
#include "compose/phone_book_exchange.h"
#include "compose_gui_support.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

using testing::ButtonIn;
using testing::ClickRow;
using testing::EditIn;
using testing::GridColumn;

const QString kMueller = QString::fromUtf8("M\xC3\xBCller");
const QString kLukasz = QString::fromUtf8("Lukasz \xE2\x80\x9CLuke\xE2\x80\x9D");

class PhoneBookTest : public testing::ComposeWindowTest {
 protected:
  // Answers the entry editor: types name and number and accepts.
  void AnswerEditor(const QString& name, const QString& number) {
    driver.Then([=](QWidget* dialog) {
      EXPECT_EQ(dialog->windowTitle(), "Phone Book Editor");
      testing::Retype(EditIn(dialog, "Name"), name);
      testing::Retype(EditIn(dialog, "Number"), number);
      ButtonIn(dialog, "OKButton")->click();
    });
  }

  // Opens the phone book from the main window and runs `use` in it.
  void WithPhoneBook(TMainScreen& w, const std::function<void(QWidget*)>& use) {
    driver.Then([=](QWidget* book) {
      EXPECT_EQ(book->windowTitle(), "Phone Book Browser");
      use(book);
      ButtonIn(book, "CloseButton")->click();
    });
    w.PhoneBook();
    ExpectAllAnswered();
  }

  // Types a file's path into the file dialog that comes up and presses Enter.
  void AnswerFileDialog(const std::string& path) {
    driver.Then([=](QWidget* dialog) {
      auto* files = qobject_cast<QFileDialog*>(dialog);
      ASSERT_NE(files, nullptr);
      auto* name = files->findChild<QLineEdit*>("fileNameEdit");
      ASSERT_NE(name, nullptr);
      name->setFocus();
      QTest::keyClicks(name, QString::fromStdString(path));
      QTest::keyClick(name, Qt::Key_Return);
    });
  }
};

TEST_F(PhoneBookTest, EntriesAreAddedEditedSortedByNameAndDeletedAsTheUserDoesIt) {
  auto w = OpenMain();
  WithPhoneBook(*w, [&](QWidget* book) {
    // Management mode: only "C&lose" closes; an empty book has nothing to edit.
    EXPECT_FALSE(ButtonIn(book, "AcceptButton")->isVisible());
    EXPECT_FALSE(ButtonIn(book, "CancelButton")->isVisible());
    EXPECT_FALSE(ButtonIn(book, "EditButton")->isEnabled());
    EXPECT_FALSE(ButtonIn(book, "DeleteButton")->isEnabled());

    AnswerEditor("Baker", "555-0102");
    ButtonIn(book, "NewButton")->click();
    EXPECT_TRUE(ButtonIn(book, "EditButton")->isEnabled());
    AnswerEditor("adams", "555-0101");
    ButtonIn(book, "NewButton")->click();
    EXPECT_EQ(GridColumn(book, "PhoneGrid"), (QStringList{"adams", "Baker"}));

    // A name is cut at the field's 35 characters as it is typed; a number
    // with letters is refused with a message and the editor stays.
    driver.Then([&](QWidget* dialog) {
      QTest::keyClicks(EditIn(dialog, "Name"), QString(40, 'n'));
      EXPECT_EQ(EditIn(dialog, "Name")->text().size(), 35);
      testing::Retype(EditIn(dialog, "Name"), "Carter");
      QTest::keyClicks(EditIn(dialog, "Number"), "555-FAX");
      driver.Click(QMessageBox::Ok);
      ButtonIn(dialog, "OKButton")->click();
      EXPECT_TRUE(dialog->isVisible());
      ButtonIn(dialog, "CancelButton")->click();
    });
    ButtonIn(book, "NewButton")->click();
    EXPECT_EQ(GridColumn(book, "PhoneGrid").size(), 2);

    ClickRow(book, "PhoneGrid", 1);
    driver.Then([&](QWidget* dialog) {
      EXPECT_EQ(EditIn(dialog, "Name")->text(), "Baker");
      EXPECT_EQ(EditIn(dialog, "Number")->text(), "555-0102");
      testing::Retype(EditIn(dialog, "Number"), "555-0199");
      ButtonIn(dialog, "OKButton")->click();
    });
    ButtonIn(book, "EditButton")->click();
    EXPECT_EQ(GridColumn(book, "PhoneGrid", 1), (QStringList{"555-0101", "555-0199"}));

    // Delete asks with the name; No keeps the entry.
    ClickRow(book, "PhoneGrid", 0);
    driver.Click(QMessageBox::No);
    ButtonIn(book, "DeleteButton")->click();
    EXPECT_EQ(driver.boxes.back().caption, "Delete");
    EXPECT_EQ(driver.boxes.back().text, "Delete the current phone book entry?:\nadams");
    EXPECT_EQ(GridColumn(book, "PhoneGrid").size(), 2);
    driver.Click(QMessageBox::Yes);
    ButtonIn(book, "DeleteButton")->click();
    EXPECT_EQ(GridColumn(book, "PhoneGrid"), QStringList{"Baker"});
  });
  w->close();
  const std::vector<testing::DbfRecord> records = testing::ReadDbf(File("TLMPB.DBF"));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].values.at("NAME"), "Baker");
  EXPECT_EQ(records[0].values.at("PHONE"), "555-0199");
  EXPECT_FALSE(records[0].deleted);
  EXPECT_EQ(records[1].values.at("NAME"), "adams");
  EXPECT_TRUE(records[1].deleted);
  EXPECT_EQ(testing::ReadTagKeys(File("TLMPB.CDX"), "NAME"), std::vector<std::string>{"BAKER"});
}

TEST_F(PhoneBookTest, ChoosingModeFollowsTheCurrentRecordAndARecordOfBlanksIsChosenAsEmpty) {
  AddRecord(LogTable::kPhone, {{"NAME", ""}, {"PHONE", ""}});
  auto w = OpenMain();
  std::unique_ptr<TableAccess> table = tables->OpenPhoneBook();
  ASSERT_NE(table, nullptr);
  TPhoneBook book(*table, TPhoneBook::Mode::kChoosing);
  book.show();
  testing::Settle();
  EXPECT_FALSE(ButtonIn(&book, "CloseButton")->isVisible());
  EXPECT_TRUE(ButtonIn(&book, "AcceptButton")->isEnabled());
  EXPECT_EQ(ButtonIn(&book, "AcceptButton")->toolTip(), "Use this phone book entry");
  driver.Click(QMessageBox::Yes);
  ButtonIn(&book, "DeleteButton")->click();
  ExpectAllAnswered();
  EXPECT_FALSE(ButtonIn(&book, "AcceptButton")->isEnabled());
  EXPECT_FALSE(ButtonIn(&book, "EditButton")->isEnabled());
  AnswerEditor("", "");  // empty entries are stored as typed
  ButtonIn(&book, "NewButton")->click();
  ExpectAllAnswered();
  EXPECT_TRUE(ButtonIn(&book, "AcceptButton")->isEnabled());
  ButtonIn(&book, "AcceptButton")->click();
  EXPECT_EQ(book.result(), QDialog::Accepted);
  EXPECT_EQ(book.ChosenName(), "");
  EXPECT_EQ(book.ChosenNumber(), "");
  table.reset();
  w->close();
}

TEST_F(PhoneBookTest, ImportAndExportOfCsvAndVCardGiveTheSameEntries) {
  testing::TempDir files;
  // A CSV file as a spreadsheet writes it: quotes, a comma and a line break
  // inside fields, names outside code page 1252, an entry that does not fit.
  const std::string csv = files.File("people.csv");
  testing::WriteText(csv,
                     "Name,Organisation,Fax\r\n"
                     "\"Smith, John\",\"ACME \"\"Tools\"\"\",+1 555 0100\r\n"
                     "M\xC3\xBCller,\"Line one\r\nline two\",030 1234567\r\n"
                     "\xC5\x81ukasz \xE2\x80\x9CLuke\xE2\x80\x9D,,0048 22 1234567\r\n"
                     ",Office Only Ltd,555-0200\r\n"
                     "Too Long,,1234567890123456789012345678901234567890\r\n");
  auto w = OpenMain();
  WithPhoneBook(*w, [&](QWidget* book) {
    AnswerFileDialog(csv);
    driver.Click(QMessageBox::Yes);  // import the others
    driver.Click(QMessageBox::Ok);
    ButtonIn(book, "ImportButton")->click();
    ExpectAllAnswered();
    ASSERT_GE(driver.boxes.size(), 2u);
    EXPECT_EQ(driver.boxes.back().text, "4 entries were added to the phone book.");
    driver.boxes.pop_back();
    // The line break inside a field counts: the long number is on line 7.
    EXPECT_TRUE(driver.boxes.back().text.contains("Line 7")) << driver.boxes.back().text.toStdString();
    EXPECT_TRUE(driver.boxes.back().text.contains("longer than 25")) << driver.boxes.back().text.toStdString();
    // Ł is not in code page 1252 and becomes L; the curly quotes are.
    EXPECT_EQ(GridColumn(book, "PhoneGrid"), (QStringList{kLukasz, kMueller, "Office Only Ltd", "Smith, John"}));
    AnswerFileDialog(files.File("out.vcf"));
    ButtonIn(book, "ExportButton")->click();
    ExpectAllAnswered();
    AnswerFileDialog(files.File("out.csv"));
    ButtonIn(book, "ExportButton")->click();
    ExpectAllAnswered();
  });
  w->close();

  const std::vector<testing::DbfRecord> records = testing::ReadDbf(File("TLMPB.DBF"));
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[1].values.at("NAME"), kMueller);  // read as code page 1252
  EXPECT_EQ(records[2].values.at("NAME"), kLukasz);

  // The exported files read back to the entries of the table.
  const std::vector<PhoneEntry> expected = {{kLukasz, "", "0048 22 1234567", 0},
                                            {kMueller, "", "030 1234567", 0},
                                            {"Office Only Ltd", "", "555-0200", 0},
                                            {"Smith, John", "", "+1 555 0100", 0}};
  const ParsedEntries fromVCard = ParsePhoneBookFile(QByteArray::fromStdString(testing::ReadText(files.File("out.vcf"))));
  EXPECT_TRUE(fromVCard.error.isEmpty());
  EXPECT_EQ(fromVCard.entries, expected);
  const ParsedEntries fromCsv = ParsePhoneBookFile(QByteArray::fromStdString(testing::ReadText(files.File("out.csv"))));
  EXPECT_TRUE(fromCsv.error.isEmpty());
  EXPECT_EQ(fromCsv.entries, expected);
  EXPECT_TRUE(testing::ReadText(files.File("out.vcf")).find("TEL;TYPE=FAX:+1 555 0100") != std::string::npos);
}

TEST_F(PhoneBookTest, AFileThatCannotBeReadAddsNothing) {
  testing::TempDir files;
  const std::string wrongCount = files.File("wrong.csv");
  testing::WriteText(wrongCount, "Name,Fax\r\nAdams,555-0101\r\nBaker,555-0102,extra\r\n");
  const std::string openQuote = files.File("quote.csv");
  testing::WriteText(openQuote, "Name,Fax\r\n\"Adams,555-0101\r\n");
  const std::string notUtf8 = files.File("latin1.csv");
  testing::WriteText(notUtf8, "Name,Fax\r\nM\xFCller,555\r\n");
  AddPhone("Kept", "555-0000");
  auto w = OpenMain();
  const std::string before = testing::ReadText(File("TLMPB.DBF"));
  WithPhoneBook(*w, [&](QWidget* book) {
    for (const std::string& path : {wrongCount, openQuote, notUtf8}) {
      AnswerFileDialog(path);
      driver.Click(QMessageBox::Ok);
      ButtonIn(book, "ImportButton")->click();
      ExpectAllAnswered();
      EXPECT_TRUE(driver.boxes.back().text.startsWith("Nothing was imported")) << driver.boxes.back().text.toStdString();
    }
    EXPECT_EQ(GridColumn(book, "PhoneGrid"), QStringList{"Kept"});
  });
  EXPECT_TRUE(driver.boxes[driver.boxes.size() - 3].text.contains("Line 3 has 3 fields"));
  EXPECT_TRUE(driver.boxes[driver.boxes.size() - 2].text.contains("not closed"));
  EXPECT_TRUE(driver.boxes.back().text.contains("not UTF-8"));
  w->close();
  EXPECT_EQ(testing::ReadText(File("TLMPB.DBF")), before);
}

TEST(PhoneBookFiles, VCardsOfVersionThreeAndFourWithFoldedLinesAndEscapes) {
  const QByteArray cards =
      "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane;;Dr.;\r\nORG:Example\\, Inc.;Sales\r\n"
      "TEL;TYPE=WORK,VOICE:555-1111\r\nTEL;TYPE=WORK,FAX:555-\r\n 2222\r\nEND:VCARD\r\n"
      "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Max Mustermann\r\nitem1.TEL;VALUE=uri;TYPE=\"fax,work\":tel:+49-30-1234\r\n"
      "END:VCARD\r\n"
      "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Voice Only\r\nTEL;TYPE=voice:555\r\nEND:VCARD\r\n";
  const ParsedEntries parsed = ParsePhoneBookFile(cards);
  ASSERT_TRUE(parsed.error.isEmpty()) << parsed.error.toStdString();
  ASSERT_EQ(parsed.entries.size(), 2u);
  EXPECT_EQ(parsed.entries[0].name, "Dr. Jane Doe");
  EXPECT_EQ(parsed.entries[0].organisation, "Example, Inc.");
  EXPECT_EQ(parsed.entries[0].number, "555-2222");
  EXPECT_EQ(parsed.entries[1].name, "Max Mustermann");
  EXPECT_EQ(parsed.entries[1].number, "+49-30-1234");
  ASSERT_EQ(parsed.skipped.size(), 1);
  EXPECT_TRUE(parsed.skipped[0].contains("Voice Only"));
  EXPECT_FALSE(ParseVCards("BEGIN:VCARD\r\nFN:Open\r\n").error.isEmpty());
}

}  // namespace
}  // namespace tlm
