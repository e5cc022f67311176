// Evaluation of parsed xBase expressions against a record buffer.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "storage/xbase_expr_node.h"

namespace tlm::xbase {

std::int64_t CtodJulian(const std::string& text) {
  int parts[3] = {0, 0, 0};
  int digits[3] = {0, 0, 0};
  int part = 0;
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      if (digits[part] >= 4) return 0;
      parts[part] = parts[part] * 10 + (c - '0');
      ++digits[part];
    } else if ((c == '/' || c == '-' || c == '.') && part < 2 && digits[part] > 0) {
      ++part;
    } else if (c == ' ') {
      break;
    } else {
      return 0;
    }
  }
  if (part != 2 || digits[2] == 0 || digits[0] > 2 || digits[1] > 2) return 0;
  int year = parts[2];
  if (digits[2] <= 2) year += year < 50 ? 2000 : 1900;  // the century window
  if (!IsValidDate(year, parts[0], parts[1])) return 0;
  return JulianDay(year, parts[0], parts[1]);
}

std::string DtosText(std::int64_t julian) {
  if (julian <= 0) return std::string(8, ' ');
  // Inverse of JulianDay (Richards' algorithm).
  const std::int64_t f = julian + 1401 + (((4 * julian + 274277) / 146097) * 3) / 4 - 38;
  const std::int64_t e = 4 * f + 3;
  const std::int64_t g = (e % 1461) / 4;
  const std::int64_t h = 5 * g + 2;
  const std::int64_t day = (h % 153) / 5 + 1;
  const std::int64_t month = ((h / 153 + 2) % 12) + 1;
  const std::int64_t year = e / 1461 - 4716 + (14 - month) / 12;
  if (year < 1 || year > 9999) return std::string(8, ' ');
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", static_cast<int>(year), static_cast<int>(month),
                static_cast<int>(day));
  return buf;
}

namespace {

Value FieldValue(const ExprNode& node, const RecordView& r) {
  const FieldDef& f = (*r.fields)[static_cast<std::size_t>(node.field)];
  const char* bytes = r.record + f.offset;
  Value v;
  v.type = node.type;
  switch (f.type) {
    case FieldType::kCharacter:
      v.text.assign(bytes, static_cast<std::size_t>(f.width));
      break;
    case FieldType::kMemo:
      if (r.memo) v.text = r.memo(f, bytes);
      break;
    case FieldType::kNumeric: {
      char buf[32];
      const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(f.width), sizeof buf - 1);
      std::memcpy(buf, bytes, n);
      buf[n] = 0;
      v.number = std::strtod(buf, nullptr);
      break;
    }
    case FieldType::kDate: {
      int y, m, d;
      v.number = ParseDate8(std::string_view(bytes, 8), y, m, d) ? static_cast<double>(JulianDay(y, m, d)) : 0;
      break;
    }
    case FieldType::kLogical:
      v.logical = std::strchr("TtYy", bytes[0]) != nullptr && bytes[0] != 0;
      break;
  }
  return v;
}

// Letter case in code page 1252 (the tables' code page).
unsigned char Upper1252(char ch) {
  const unsigned char c = static_cast<unsigned char>(ch);
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  if (c == 0x9A || c == 0x9C || c == 0x9E) return c - 16;
  if (c == 0xFF) return 0x9F;
  return c;
}

unsigned char Lower1252(char ch) {
  const unsigned char c = static_cast<unsigned char>(ch);
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c == 0x8A || c == 0x8C || c == 0x8E) return c + 16;
  if (c == 0x9F) return 0xFF;
  return c;
}

Value Logical(bool b) {
  Value v;
  v.type = ValueType::kLogical;
  v.logical = b;
  return v;
}

// Compares two values of one type: <0, 0, >0. Texts compare bytewise, the
// shorter one padded with blanks.
int Compare(const Value& a, const Value& b) {
  if (a.type == ValueType::kCharacter) {
    const std::size_t n = std::max(a.text.size(), b.text.size());
    for (std::size_t i = 0; i < n; ++i) {
      const unsigned char x = i < a.text.size() ? static_cast<unsigned char>(a.text[i]) : ' ';
      const unsigned char y = i < b.text.size() ? static_cast<unsigned char>(b.text[i]) : ' ';
      if (x != y) return x < y ? -1 : 1;
    }
    return 0;
  }
  if (a.type == ValueType::kLogical) return int(a.logical) - int(b.logical);
  return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
}

// "=" on texts: the left side begins with the right side (an empty right
// side matches everything); trailing blanks of the right side count.
bool LooseEqual(const Value& a, const Value& b) {
  if (a.type != ValueType::kCharacter) return Compare(a, b) == 0;
  if (b.text.size() > a.text.size()) return Compare(a, b) == 0;
  return a.text.compare(0, b.text.size(), b.text) == 0;
}

std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

std::string TrimLeft(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  return s.substr(i);
}

Value Text(std::string s) {
  Value v;
  v.type = ValueType::kCharacter;
  v.text = std::move(s);
  return v;
}

}  // namespace

Value EvaluateNode(const ExprNode& n, const RecordView& r) {
  switch (n.op) {
    case ExprOp::kField: return FieldValue(n, r);
    case ExprOp::kConst: return n.constant;
    case ExprOp::kNot: return Logical(!EvaluateNode(*n.a, r).logical);
    case ExprOp::kAnd: return Logical(EvaluateNode(*n.a, r).logical && EvaluateNode(*n.b, r).logical);
    case ExprOp::kOr: return Logical(EvaluateNode(*n.a, r).logical || EvaluateNode(*n.b, r).logical);
    case ExprOp::kNegate: {
      Value v = EvaluateNode(*n.a, r);
      v.number = -v.number;
      return v;
    }
    case ExprOp::kAdd:
    case ExprOp::kSubtract: {
      Value a = EvaluateNode(*n.a, r);
      const Value b = EvaluateNode(*n.b, r);
      if (n.type == ValueType::kCharacter) {
        if (n.op == ExprOp::kAdd) return Text(a.text + b.text);
        // xBase "-": the left side's trailing blanks move to the end.
        const std::string left = TrimRight(a.text);
        return Text(left + b.text + std::string(a.text.size() - left.size(), ' '));
      }
      Value v;
      v.type = n.type;
      if (n.op == ExprOp::kAdd) {
        v.number = a.number + b.number;
        if (n.type == ValueType::kDate && (a.number == 0 && a.type == ValueType::kDate)) v.number = 0;
        if (n.type == ValueType::kDate && (b.number == 0 && b.type == ValueType::kDate)) v.number = 0;
      } else {
        v.number = a.number - b.number;
        if (n.type == ValueType::kDate && a.number == 0) v.number = 0;
      }
      return v;
    }
    case ExprOp::kEqual: return Logical(LooseEqual(EvaluateNode(*n.a, r), EvaluateNode(*n.b, r)));
    case ExprOp::kExactEqual: {
      const Value a = EvaluateNode(*n.a, r), b = EvaluateNode(*n.b, r);
      return Logical(a.type == ValueType::kCharacter ? a.text == b.text : Compare(a, b) == 0);
    }
    case ExprOp::kNotEqual: return Logical(!LooseEqual(EvaluateNode(*n.a, r), EvaluateNode(*n.b, r)));
    case ExprOp::kLess: return Logical(Compare(EvaluateNode(*n.a, r), EvaluateNode(*n.b, r)) < 0);
    case ExprOp::kGreater: return Logical(Compare(EvaluateNode(*n.a, r), EvaluateNode(*n.b, r)) > 0);
    case ExprOp::kLessEqual: return Logical(Compare(EvaluateNode(*n.a, r), EvaluateNode(*n.b, r)) <= 0);
    case ExprOp::kGreaterEqual: return Logical(Compare(EvaluateNode(*n.a, r), EvaluateNode(*n.b, r)) >= 0);
    case ExprOp::kContains: {
      const Value a = EvaluateNode(*n.a, r), b = EvaluateNode(*n.b, r);
      return Logical(!a.text.empty() && b.text.find(a.text) != std::string::npos);
    }
    case ExprOp::kDtos: return Text(DtosText(static_cast<std::int64_t>(EvaluateNode(*n.a, r).number)));
    case ExprOp::kCtod: {
      Value v;
      v.type = ValueType::kDate;
      v.number = static_cast<double>(CtodJulian(EvaluateNode(*n.a, r).text));
      return v;
    }
    case ExprOp::kUpper:
    case ExprOp::kLower: {
      Value v = EvaluateNode(*n.a, r);
      for (auto& c : v.text) c = static_cast<char>(n.op == ExprOp::kUpper ? Upper1252(c) : Lower1252(c));
      return v;
    }
    case ExprOp::kAllTrim: return Text(TrimLeft(TrimRight(EvaluateNode(*n.a, r).text)));
    case ExprOp::kRTrim: return Text(TrimRight(EvaluateNode(*n.a, r).text));
    case ExprOp::kLTrim: return Text(TrimLeft(EvaluateNode(*n.a, r).text));
    case ExprOp::kEmpty: {
      const Value v = EvaluateNode(*n.a, r);
      switch (v.type) {
        case ValueType::kCharacter: return Logical(TrimLeft(TrimRight(v.text)).empty());
        case ValueType::kLogical: return Logical(!v.logical);
        default: return Logical(v.number == 0);
      }
    }
    case ExprOp::kDeleted: return Logical(r.record && r.record[0] == '*');
    case ExprOp::kRecno: {
      Value v;
      v.type = ValueType::kNumeric;
      v.number = r.recno;
      return v;
    }
  }
  return Logical(false);
}

std::string UpperText(std::string text) {
  for (auto& c : text) c = static_cast<char>(Upper1252(c));
  return text;
}

}  // namespace tlm::xbase
