#pragma once
// Deleting log records by condition: the conditions the cleanup window
// builds (every user text becomes a literal, never part of the expression)
// and the pass that marks the records matching one.
#include <functional>
#include <string>

#include "storage/xb_components.h"

namespace tlm {

// An xBase character literal for `text` (code page 1252 bytes): quoted with
// '"' or '\'' as the text allows, else a parenthesised concatenation of
// quoted pieces. Whatever the text holds, the literal evaluates to exactly it.
std::string XbaseTextLiteral(const std::string& text);

// The condition "`field` is `value`" on a character field, both compared in
// upper case with blanks trimmed at both ends: exactly equal, or (partial)
// the value contained in the field. `value` is code page 1252 text.
//   exact:   ALLTRIM(UPPER(FROM))=="ACME"
//   partial: "ACME"$ALLTRIM(UPPER(FROM))
std::string FieldMatchCondition(const std::string& field, const std::string& value, bool exact);

// The condition "the date field lies before the day and is not empty", the
// year written with four digits so that no century window applies:
//   (DATESENT<CTOD("12/31/1998")) .and. (.not. EMPTY(DATESENT))
std::string BeforeDateCondition(const std::string& field, int year, int month, int day);

// Marks for deletion every record of the open table for which `condition`
// is true and that has no deletion mark yet, in record order, and returns
// how many it marked. `beforeMark` runs on each such record while it is
// current, before its mark is set (the received log removes the fax file
// there). The table's filter and order are kept; afterwards the record that
// was current is current again, or, when it is now hidden, the next visible
// one. -1 with `error` when the condition is not a valid logical
// expression; a later failure (a record that cannot be read or written)
// ends the pass with `error` set and returns the records marked so far.
long DeleteWhere(TXbTable& table, TXbEngine& engine, const std::string& condition,
                 const std::function<void()>& beforeMark, std::string& error);

}  // namespace tlm
