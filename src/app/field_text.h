#pragma once
// Text of the tables' character fields, which are stored in code page 1252
// (app/table_text.h): reading them, writing imported text with the closest
// character for what the code page lacks, checking typed text (refused when
// the code page lacks a character) and a fax number.
#include <QString>
#include <string>

namespace tlm {

// A stored character field as text, trailing blanks dropped.
QString FieldText(const std::string& stored);

// `text` in code page 1252. A character the code page lacks becomes its
// closest one (an accented letter its base letter, typographic signs their
// plain forms), else '?'. Line breaks and tabs become blanks.
std::string TextToField(const QString& text);

// `text` as it would be stored, read back (what the closest characters give).
QString StorableText(const QString& text);

// Empty when `text` fits a field of `width` characters once stored, else
// the reason, naming the field by `what` ("the name").
QString FieldWidthProblem(const QString& what, const QString& text, int width);

// The same for a text the user typed: a character the code page lacks is
// refused (the reason names it) rather than replaced.
QString TypedFieldProblem(const QString& what, const QString& text, int width);

// A fax number may hold digits, blanks and the dialling characters
// + - ( ) . / , * # ! @ and the modifiers W P T. Empty when `number` is
// fine, else the reason.
QString FaxNumberProblem(const QString& number);

}  // namespace tlm
