// End to end: a fax composed in the fax editor from a cover template with
// placeholders and a phone book entry, saved into the outgoing log, then
// rendered by fax document assembly. Its cover page must be the very page a
// cover with the same words typed in literally gives.
#include <QMessageBox>

#include "compose/fax_document_assembly.h"
#include "compose/fax_editor.h"
#include "compose_gui_support.h"
#include "faximage/fax_converter.h"
#include "faximage/fax_unpacker.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

using testing::ButtonIn;
using testing::ClickRow;
using testing::EditIn;

class QuietHost : public AssemblyHost {
 public:
  void SetBusy(bool) override {}
  void SetStatus(const QString&) override {}
  void ProcessMessages() override {}
  void ShowInformation(const QString& text) override { messages.push_back(text); }
  std::vector<QString> messages;
};

// The template's cover with its placeholders replaced by plain text.
std::string LiteralCoverRtf(const QString& recipient, const QString& number) {
  RichTextEditor e;
  e.SetPageSetup({12240, 15840, 720, 720, 720, 720});
  e.ApplyFont(FontChoice{QStringLiteral("Arial"), 12, false, false, false});
  QTextCursor c = e.TextCursor();
  c.insertText(QStringLiteral("To: ") + recipient);
  c.insertBlock();
  c.insertText(QStringLiteral("Fax: ") + number);
  c.insertBlock();
  c.insertText(QStringLiteral("Regards"));
  e.SetTextCursor(c);
  return e.RtfText();
}

MemoToFile Text(const std::string& rtfText) {
  return [rtfText](const std::string& path) {
    testing::WriteText(path, rtfText);
    return true;
  };
}

class ComposeEndToEnd : public testing::ComposeWindowTest {
 protected:
  // The first page of the fax the two memos give.
  MonoBitmap FirstPage(const MemoToFile& cover, const MemoToFile& document) {
    RichTextEditor coverEditor;
    RichTextEditor documentEditor;
    TKvFaxConverter converter;
    QuietHost host;
    FaxDocumentAssembler assembler(renderFolder.Folder(), coverEditor, documentEditor, converter, host);
    const std::string file = assembler.CreateFaxFile(cover, document);
    EXPECT_FALSE(file.empty());
    EXPECT_EQ(assembler.PageCount(), 2);
    TKvFaxUnpacker unpacker;
    unpacker.SetInFileName(file);
    MonoBitmap page = unpacker.UnpackPageToBitmap(1);
    std::remove(file.c_str());
    return page;
  }

  static int Ink(const MonoBitmap& page) {
    int black = 0;
    for (int y = 0; y < page.height - 10; ++y) {
      for (int x = 0; x < page.width; ++x) black += page.IsBlack(x, y);
    }
    return black;
  }

  testing::TempDir renderFolder;
};

TEST_F(ComposeEndToEnd, TheFilledCoverRendersAsTheSameCoverTypedInLiterally) {
  AddCover("Standard", testing::TemplateRtf());
  AddPhone("Adams", "555-0101");
  auto w = OpenMain();
  driver.Then([&](QWidget* dialog) {
    auto* editor = qobject_cast<TFaxEditor*>(dialog);
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(EditIn(editor, "Subject"), "Offer");
    driver.Then([&](QWidget* book) {
      ClickRow(book, "PhoneGrid", 0);
      ButtonIn(book, "AcceptButton")->click();
    });
    ButtonIn(editor, "AddressButton")->click();
    ButtonIn(editor, "CoverButton")->click();
    driver.Then([&](QWidget* browse) { ButtonIn(browse, "AcceptButton")->click(); });
    testing::ActionIn(editor, "LoadTemplateAction")->trigger();
    ButtonIn(editor, "DocumentButton")->click();
    testing::TypeInto(editor->Document(), "The document page.");
    ButtonIn(editor, "OKButton")->click();
  });
  w->findChild<QPushButton*>("Newbutton")->click();
  ExpectAllAnswered();
  w.reset();

  std::unique_ptr<TableAccess> log = tables->OpenFaxLog();
  ASSERT_NE(log, nullptr);
  ASSERT_TRUE(log->First());
  const auto memo = [&](const char* field) {
    return [&log, field](const std::string& path) { return log->MemoToFile(field, path); };
  };
  const std::string doc = "{\\rtf1\\ansi Second page\\par}";
  const MonoBitmap composed = FirstPage(memo("RTFCOVER"), Text(doc));
  const MonoBitmap literal = FirstPage(Text(LiteralCoverRtf("Adams", "555-0101")), Text(doc));
  const MonoBitmap unfilled = FirstPage(Text(testing::TemplateRtf()), Text(doc));
  ASSERT_EQ(composed.width, literal.width);
  ASSERT_EQ(composed.height, literal.height);
  EXPECT_GT(Ink(composed), 500);  // the words are on the page
  EXPECT_TRUE(composed.bits == literal.bits) << "ink composed " << Ink(composed) << ", literal " << Ink(literal);
  EXPECT_FALSE(unfilled.bits == literal.bits);
 // the comparison can tell the words apart
}

}  // namespace
}  // namespace tlm
