#pragma once
// Moving rich text between an editor and a memo field of a table through the
// transfer file "Eraseme.rtf" in the data folder.
#include <QString>
#include <functional>
#include <string>

namespace tlm {

class RichTextEditor;
class TXbEngine;

// Asks the table engine to write the memo field of the current record into
// the file at `path`; false when it cannot.
using MemoToFile = std::function<bool(const std::string& path)>;
// Asks the table engine to replace the memo field from the file at `path`.
using MemoFromFile = std::function<bool(const std::string& path)>;

// Clears the editor, has the memo written to the transfer file and loads it
// as RTF, then deletes the file. When the engine fails the editor stays
// empty and false is returned. An empty memo is an empty text; a memo that
// is not readable RTF loads as far as it reads and, with `rtfError`, is
// described there (left empty when the text read well).
bool LoadRichText(RichTextEditor& editor, const std::string& folder, const MemoToFile& writeMemo,
                  QString* rtfError = nullptr);

// Saves the editor as RTF into the transfer file and has the memo field
// replaced from it; the file is deleted afterwards.
bool SaveRichText(const RichTextEditor& editor, const std::string& folder, const MemoFromFile& readMemo);

// The table engine's transfer of memo field `field` of the current record.
MemoToFile MemoOfField(TXbEngine& engine, const std::string& field);
MemoFromFile MemoIntoField(TXbEngine& engine, const std::string& field);

// The same on a field of the engine's table, e.g. "RTFCOVER".
bool LoadRichText(RichTextEditor& editor, const std::string& field, TXbEngine& engine, const std::string& folder);
bool SaveRichText(const RichTextEditor& editor, const std::string& field, TXbEngine& engine,
                  const std::string& folder);

}  // namespace tlm
