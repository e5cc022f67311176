#pragma once
// Rich text in the memo fields of the windows' tables, with the guard that
// a text which cannot be read is never written back unless the user
// changed it.
#include <QString>
#include <string>

namespace tlm {

class RichTextEditor;
class TableAccess;

// How a memo came into an editor.
struct MemoLoad {
  bool complete = true;  // the memo was read in full
  QString problem;       // what went wrong, for the user
  std::string loaded;    // the text as loaded, to see whether the user changed it
};

// Loads memo `field` of the table's current record into `editor`; the
// editor then counts as unchanged. A memo that cannot be written out leaves
// the editor empty; damaged or foreign RTF loads as far as it reads.
MemoLoad LoadMemo(RichTextEditor& editor, TableAccess& table, const char* field, const std::string& folder);

// Whether an editor loaded with `load` may be written back: always for a
// complete load, else only when the user changed the text.
bool MayWriteBack(const RichTextEditor& editor, const MemoLoad& load);

// Replaces memo `field` of the current record with the editor's RTF.
bool SaveMemo(const RichTextEditor& editor, TableAccess& table, const char* field, const std::string& folder);

}  // namespace tlm
