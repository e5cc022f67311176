#pragma once
// xBase expressions as used in index keys, tag conditions and filters:
// field names, string literals ("..." or '...'), numbers, + and -, the
// comparisons == = < > <= >= <> # != and $, .and. .or. .not. (and !),
// .t. .f. .true. .false., parentheses and the functions DTOS, CTOD, UPPER,
// LOWER, ALLTRIM, TRIM, RTRIM, LTRIM, EMPTY, DELETED and RECNO, in any
// letter case.
//
// An expression is parsed once against a table's fields (so types are known
// and checked up front) and evaluated against record buffers.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "storage/xbase_types.h"

namespace tlm::xbase {

enum class ValueType { kCharacter, kNumeric, kDate, kLogical };

struct Value {
  ValueType type = ValueType::kLogical;
  std::string text;     // kCharacter
  double number = 0;    // kNumeric; kDate: Julian day number, 0 = empty date
  bool logical = false;
};

// What an expression reads: the record buffer (deletion flag first), its
// record number, and the memo text of a memo field when asked.
struct RecordView {
  const std::vector<FieldDef>* fields = nullptr;
  const char* record = nullptr;
  std::uint32_t recno = 0;
  std::function<std::string(const FieldDef&, const char* fieldBytes)> memo;
};

struct ExprNode;

class Expression {
 public:
  ~Expression();
  Expression(Expression&&) noexcept;
  Expression& operator=(Expression&&) noexcept;

  // Parses `text`. On failure returns nullptr and an error that names the
  // expression, e.g. `Invalid expression "UPPER(NAME": ")" expected`.
  static std::unique_ptr<Expression> Parse(const std::string& text, const std::vector<FieldDef>& fields,
                                           std::string& error);

  const std::string& Text() const { return text_; }
  ValueType Type() const;
  Value Evaluate(const RecordView& record) const;
  bool IsTrue(const RecordView& record) const;  // for logical expressions
  // True for the plain deletion test ".not. deleted()" (a fast path for scans).
  bool IsNotDeletedTest() const;

 private:
  Expression();
  std::string text_;
  std::unique_ptr<ExprNode> root_;
};

// CTOD: "mm/dd/yy" or "mm/dd/yyyy" (also with '-' or '.'). Two-digit years
// use a fixed century window: 00-49 are 2000-2049, 50-99 are 1950-1999.
// Anything that is not a valid date gives the empty date (0).
std::int64_t CtodJulian(const std::string& text);
// DTOS: "YYYYMMDD" for a Julian day number, 8 blanks for the empty date.
std::string DtosText(std::int64_t julian);

// The text as UPPER() gives it: letters of code page 1252 in upper case.
std::string UpperText(std::string text);

}  // namespace tlm::xbase
