#include "compose/memo_transfer.h"

#include <cstdio>

#include "compose/fax_file_names.h"
#include "platform/file_util.h"
#include "richtext/rich_text_editor.h"
#include "storage/xb_components.h"

namespace tlm {

bool LoadRichText(RichTextEditor& editor, const std::string& folder, const MemoToFile& writeMemo,
                  QString* rtfError) {
  editor.Clear();
  std::string path = folder + kMemoTransferFileName;
  if (!writeMemo || !writeMemo(path)) {
    std::remove(path.c_str());
    return false;
  }
  std::string bytes;
  QString error;
  // A record that never had a text leaves an empty memo: an empty editor.
  if (!ReadWholeFile(path, bytes) || !bytes.empty()) {
    editor.LoadRtf(QString::fromStdString(path), &error);  // a damaged text loads as far as it reads
  }
  if (rtfError) *rtfError = error;
  editor.Reformat();
  std::remove(path.c_str());
  return true;
}

bool SaveRichText(const RichTextEditor& editor, const std::string& folder, const MemoFromFile& readMemo) {
  std::string path = folder + kMemoTransferFileName;
  bool ok = editor.SaveRtf(QString::fromStdString(path)) && readMemo && readMemo(path);
  std::remove(path.c_str());
  return ok;
}

MemoToFile MemoOfField(TXbEngine& engine, const std::string& field) {
  return [&engine, field](const std::string& path) { return engine.BlobToFile(field, path); };
}

MemoFromFile MemoIntoField(TXbEngine& engine, const std::string& field) {
  return [&engine, field](const std::string& path) { return engine.FileToBlob(field, path); };
}

bool LoadRichText(RichTextEditor& editor, const std::string& field, TXbEngine& engine, const std::string& folder) {
  return LoadRichText(editor, folder, MemoOfField(engine, field));
}

bool SaveRichText(const RichTextEditor& editor, const std::string& field, TXbEngine& engine,
                  const std::string& folder) {
  return SaveRichText(editor, folder, MemoIntoField(engine, field));
}

}  // namespace tlm
