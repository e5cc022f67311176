#include "storage/log_cleanup.h"

#include <cstdio>
#include <vector>

#include "storage/log_tables.h"
#include "storage/xbase_expr.h"

namespace tlm {

namespace {

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string XbaseTextLiteral(const std::string& text) {
  if (text.find('"') == std::string::npos) return '"' + text + '"';
  if (text.find('\'') == std::string::npos) return '\'' + text + '\'';
  // Both quote characters: runs without '"' in double quotes, each '"' in
  // single quotes, joined by +.
  std::string out = "(";
  std::size_t at = 0;
  while (at < text.size()) {
    if (out.size() > 1) out += '+';
    if (text[at] == '"') {
      out += "'\"'";
      ++at;
      continue;
    }
    const std::size_t quote = text.find('"', at);
    const std::size_t end = quote == std::string::npos ? text.size() : quote;
    out += '"' + text.substr(at, end - at) + '"';
    at = end;
  }
  return out + ")";
}

std::string FieldMatchCondition(const std::string& field, const std::string& value, bool exact) {
  const std::string literal = XbaseTextLiteral(xbase::UpperText(Trimmed(value)));
  const std::string subject = "ALLTRIM(UPPER(" + field + "))";
  return exact ? subject + "==" + literal : literal + "$" + subject;
}

std::string BeforeDateCondition(const std::string& field, int year, int month, int day) {
  char date[16];
  std::snprintf(date, sizeof date, "%02d/%02d/%04d", month, day, year);
  return "(" + field + "<CTOD(\"" + date + "\")) .and. (.not. EMPTY(" + field + "))";
}

long DeleteWhere(TXbTable& table, TXbEngine& engine, const std::string& condition,
                 const std::function<void()>& beforeMark, std::string& error) {
  const long current = table.RecNo();
  const int order = engine.IndexOrd();
  const std::string filter = engine.Filter();

  // The engine finds the matching records: the condition (and no deletion
  // mark yet) as filter, natural order. Then each one is marked.
  std::vector<long> matching;
  engine.SetOrder(0);
  const bool filtered = engine.SetFilter("(" + condition + ") .and. " + kNotDeletedFilter);
  if (!filtered) {
    error = engine.LastError();
  } else {
    matching = table.RecordNumbers();
    if (!engine.SetFilter(filter)) error = engine.LastError();
  }
  long marked = 0;
  for (long recno : matching) {
    if (!table.GoTo(recno) || table.Deleted()) continue;
    if (beforeMark) beforeMark();
    if (!table.GoTo(recno) || !table.Delete()) {
      error = table.LastError();
      break;
    }
    ++marked;
  }

  engine.SetOrder(order);
  if (current <= engine.RecCount() && table.GoTo(current) && table.Deleted() && table.Library().DeletedHidden()) {
    // The record is gone from the list: the next visible one, else the last.
    table.Next();
    if (table.Eof()) table.Last();
  }
  return filtered ? marked : -1;
}

}  // namespace tlm
