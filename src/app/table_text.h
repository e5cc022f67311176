#pragma once
// Text between the windows and the tables. The tables hold code page 1252,
// one byte a character, so a 60-character field takes 60 characters of any
// of its letters. Every window that writes a text field goes through
// StoreTextField, which refuses (with a message) a text the code page cannot
// hold instead of storing it broken; every text read goes through
// FromTableText.
#include <QString>
#include <optional>
#include <string>

class QWidget;

namespace tlm {

class TableAccess;

// A stored field's bytes as text (up to a NUL byte, should one be there).
QString FromTableText(const std::string& stored);

// The bytes to store for `text`; nothing when a character has no place in
// the code page, with `refusal` set to the message that says which.
std::optional<std::string> ToTableText(const QString& text, QString* refusal = nullptr);

// Stores `text` in the current record's field and writes the record. A text
// the code page cannot hold is refused with a message and nothing is
// written; so is a failed write. True when stored.
bool StoreTextField(QWidget* parent, TableAccess& table, const std::string& field, const QString& text);

}  // namespace tlm
