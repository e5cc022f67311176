#include "compose/table_memos.h"


#include "app/table_access.h"
#include "compose/memo_transfer.h"
#include "richtext/rich_text_editor.h"
#include "richtext/rtf/rtf_writer.h"

namespace tlm {

namespace {

// The text and its formats without the page, which the windows set themselves.
std::string ContentOf(const RichTextEditor& editor) {
  rtf::Document doc = editor.Model();
  doc.page = rtf::PageSetup{};
  return rtf::WriteRtf(doc);
}

}  // namespace

MemoLoad LoadMemo(RichTextEditor& editor, TableAccess& table, const char* field, const std::string& folder) {
  MemoLoad load;
  QString rtfError;
  const std::string name = field;
  if (!LoadRichText(
          editor, folder, [&](const std::string& path) { return table.MemoToFile(name, path); }, &rtfError)) {
    load.complete = false;
    load.problem = QStringLiteral("The memo %1 cannot be read from %2.")
                       .arg(QString::fromLatin1(field), QString::fromStdString(table.DataFilePath()));
  } else if (!rtfError.isEmpty()) {
    load.complete = false;
    load.problem = QStringLiteral("The memo %1 is not readable rich text (%2); it is shown as far as it could be read.")
                       .arg(QString::fromLatin1(field), rtfError);
  }
  if (!load.complete) load.loaded = ContentOf(editor);
  return load;
}

bool MayWriteBack(const RichTextEditor& editor, const MemoLoad& load) {
  return load.complete || ContentOf(editor) != load.loaded;
}

bool SaveMemo(const RichTextEditor& editor, TableAccess& table, const char* field, const std::string& folder) {
  const std::string name = field;
  return SaveRichText(editor, folder, [&](const std::string& path) { return table.MemoFromFile(name, path); });
}

}  // namespace tlm
