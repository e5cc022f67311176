#include "storage/xb_components.h"

#include <cctype>
#include <cstdlib>

#include "platform/file_util.h"

namespace tlm {

// Selects the table's work area for one operation and the previous one after.
class TXbTable::Selection {
 public:
  explicit Selection(const TXbTable& t) : lib_(t.library_), previous_(t.library_.xb_WorkArea()) {
    if (t.area_) lib_.xb_Select(t.area_);
  }
  ~Selection() { lib_.xb_Select(previous_); }

 private:
  XbLibrary& lib_;
  int previous_;
};

TXbTable::TXbTable(XbLibrary& library) : library_(library) {}

TXbTable::~TXbTable() { Close(); }

std::string TXbTable::IndexFileName() const {
  std::string p = fileName_;
  if (p.size() >= 3) p.replace(p.size() - 3, 3, "CDX");
  return p;
}

const std::string& TXbTable::LastError() const { return error_; }

bool TXbTable::Open() {
  if (area_) return true;
  const int previous = library_.xb_WorkArea();
  const int area = library_.xb_Use(fileName_);
  if (!area) {
    error_ = library_.LastError();
    library_.xb_Select(previous);
    return false;
  }
  area_ = area;
  bool ok = true;
  if (!storedFilter_.empty() && !library_.xb_Query(storedFilter_)) {
    error_ = library_.LastError();
    ok = false;
  }
  library_.xb_GoTop();
  library_.xb_Select(previous);
  if (!ok) Close();
  return ok;
}

void TXbTable::Close() {
  if (!area_) return;
  int previous = library_.xb_WorkArea();
  library_.xb_Select(area_);
  if (!library_.xb_Close()) error_ = library_.LastError();
  if (previous == area_) previous = 0;
  library_.xb_Select(previous);
  area_ = 0;
}

#define TLM_ON_TABLE(expr)                           \
  if (!area_) {                                      \
    error_ = "The table " + fileName_ + " is not open"; \
    return false;                                    \
  }                                                  \
  Selection sel(*this);                              \
  if (expr) return true;                             \
  error_ = library_.LastError();                     \
  return false

bool TXbTable::First() { TLM_ON_TABLE(library_.xb_GoTop()); }
bool TXbTable::Last() { TLM_ON_TABLE(library_.xb_GoBottom()); }
bool TXbTable::Next() { TLM_ON_TABLE(library_.xb_Skip(1)); }
bool TXbTable::Prior() { TLM_ON_TABLE(library_.xb_Skip(-1)); }
bool TXbTable::GoTo(long recno) { TLM_ON_TABLE(library_.xb_Go(recno)); }
bool TXbTable::Append() { TLM_ON_TABLE(library_.xb_AppendBlank()); }
bool TXbTable::Post() { TLM_ON_TABLE(library_.xb_Commit()); }
bool TXbTable::SetString(const std::string& field, const std::string& value) {
  TLM_ON_TABLE(library_.xb_Replace(field, value));
}
bool TXbTable::SetBool(const std::string& field, bool value) { TLM_ON_TABLE(library_.xb_Replace(field, value ? "T" : "F")); }
bool TXbTable::SetInteger(const std::string& field, long value) {
  TLM_ON_TABLE(library_.xb_Replace(field, std::to_string(value)));
}
bool TXbTable::SetDate(const std::string& field, const std::string& yyyymmdd) {
  TLM_ON_TABLE(library_.xb_Replace(field, yyyymmdd));
}

bool TXbTable::Delete() {
  TLM_ON_TABLE(library_.xb_Delete() && (!library_.DeletedHidden() || library_.xb_Skip(1)) &&
               (!library_.xb_Eof() || library_.xb_GoBottom()));
}

#undef TLM_ON_TABLE

std::vector<long> TXbTable::RecordNumbers() {
  std::vector<long> out;
  if (!area_) return out;
  Selection sel(*this);
  const long current = library_.xb_RecNo();
  for (library_.xb_GoTop(); !library_.xb_Eof(); library_.xb_Skip(1)) out.push_back(library_.xb_RecNo());
  if (current >= 1 && current <= library_.xb_RecCount()) library_.xb_Go(current);
  return out;
}

bool TXbTable::Bof() const {
  if (!area_) return true;
  Selection sel(*this);
  return library_.xb_Bof();
}

bool TXbTable::Eof() const {
  if (!area_) return true;
  Selection sel(*this);
  return library_.xb_Eof();
}

bool TXbTable::IsEmpty() const { return RecNo() > 0 && Eof() && Bof(); }

long TXbTable::RecNo() const {
  if (!area_) return 0;
  Selection sel(*this);
  return library_.xb_RecNo();
}

int TXbTable::FieldCount() const {
  if (!area_) return 0;
  Selection sel(*this);
  return library_.xb_FieldCount();
}

bool TXbTable::HasField(const std::string& field) const {
  if (!area_) return false;
  Selection sel(*this);
  return library_.xb_FieldNum(field) > 0;
}

std::string TXbTable::AsString(const std::string& field) const {
  if (!area_) return {};
  Selection sel(*this);
  return library_.xb_FieldText(field);
}

bool TXbTable::AsBool(const std::string& field) const { return AsString(field) == "T"; }

long TXbTable::AsInteger(const std::string& field) const { return std::strtol(AsString(field).c_str(), nullptr, 10); }

bool TXbTable::Deleted() const {
  if (!area_) return false;
  Selection sel(*this);
  return library_.xb_Deleted();
}

// --- TXbEngine

TXbEngine::TXbEngine(TXbTable& table) : table_(table) {}

#define TLM_ENGINE_CALL(expr)                  \
  TXbTable::Selection sel(table_);             \
  if (expr) return true;                       \
  table_.error_ = table_.library_.LastError(); \
  return false

#define TLM_NEEDS_OPEN                                               \
  if (!table_.area_) {                                               \
    table_.error_ = "The table " + table_.fileName_ + " is not open"; \
    return false;                                                    \
  }

bool TXbEngine::CreateNew(const std::string& path, int fieldCount) {
  TLM_ENGINE_CALL(table_.library_.xb_CreateNew(path, "XXXXXXXXXX", kXbDriverFoxPro, fieldCount) != 0);
}
bool TXbEngine::CreateField(const std::string& name, const std::string& type, int width, int decimals) {
  TLM_ENGINE_CALL(table_.library_.xb_CreateField(name, type, width, decimals));
}
bool TXbEngine::CreateExec() { TLM_ENGINE_CALL(table_.library_.xb_CreateExec()); }

bool TXbEngine::IndexTag(const std::string& tag, const std::string& key, bool descending,
                         const std::string& condition) {
  TLM_NEEDS_OPEN
  TLM_ENGINE_CALL(table_.library_.xb_IndexTag("", tag, key, 0, descending, condition));
}

int TXbEngine::TagArea(const std::string& tag) {
  if (!table_.area_) return 0;
  TXbTable::Selection sel(table_);
  return table_.library_.xb_TagArea(tag);
}

bool TXbEngine::SetOrder(int tagNumber) {
  TLM_NEEDS_OPEN
  TLM_ENGINE_CALL(table_.library_.xb_SetOrder(tagNumber));
}

int TXbEngine::IndexOrd() {
  if (!table_.area_) return 0;
  TXbTable::Selection sel(table_);
  return table_.library_.xb_IndexOrd();
}

bool TXbEngine::Reindex() {
  TLM_NEEDS_OPEN
  TLM_ENGINE_CALL(table_.library_.xb_Reindex());
}

bool TXbEngine::SetFilter(const std::string& expression) {
  const std::string previous = table_.storedFilter_;
  table_.storedFilter_ = expression;
  if (!table_.area_) return true;
  TXbTable::Selection sel(table_);
  if (table_.library_.xb_Query(expression)) return true;
  table_.error_ = table_.library_.LastError();
  table_.storedFilter_ = previous;
  return false;
}

long TXbEngine::QueryRecCount() {
  if (!table_.area_) return 0;
  TXbTable::Selection sel(table_);
  return table_.library_.xb_QueryRecCount();
}

long TXbEngine::RecCount() {
  if (!table_.area_) return 0;
  TXbTable::Selection sel(table_);
  return table_.library_.xb_RecCount();
}

long TXbEngine::RecNo() { return table_.RecNo(); }

bool TXbEngine::Go(long recno) { return table_.GoTo(recno); }

bool TXbEngine::Deleted() { return table_.Deleted(); }

bool TXbEngine::Pack() {
  TLM_NEEDS_OPEN
  TLM_ENGINE_CALL(table_.library_.xb_Pack());
}

bool TXbEngine::BlobToFile(const std::string& field, const std::string& path) {
  TLM_NEEDS_OPEN
  TLM_ENGINE_CALL(table_.library_.xb_BlobToFile(field, path));
}

bool TXbEngine::FileToBlob(const std::string& field, const std::string& path) {
  TLM_NEEDS_OPEN
  TLM_ENGINE_CALL(table_.library_.xb_Replace(field, path, kXbMemoFromFile) && table_.library_.xb_Commit());
}

bool TXbEngine::CloseIndexes() {
  TLM_NEEDS_OPEN
  TLM_ENGINE_CALL(table_.library_.xb_CloseIndexes());
}

bool TXbEngine::IndexDamaged() {
  if (!table_.area_) return false;
  TXbTable::Selection sel(table_);
  return table_.library_.xb_IndexDamaged();
}

void TXbEngine::SysProp(int property, int value) { table_.library_.xb_SysProp(property, value); }

#undef TLM_ENGINE_CALL
#undef TLM_NEEDS_OPEN

}  // namespace tlm
