#include "storage/xb_library.h"

#include <cctype>

#include "platform/file_util.h"
#include "storage/work_area.h"

namespace tlm {

using xbase::WorkArea;

struct XbLibrary::Creation {
  std::string path;
  int expected = 0;
  std::vector<xbase::FieldDef> fields;
};

XbLibrary::XbLibrary() = default;

XbLibrary::~XbLibrary() { xb_CloseAll(); }

XbLibrary& XbLibrary::Default() {
  static XbLibrary library;
  return library;
}

bool XbLibrary::Fail(const std::string& text) {
  lastError_ = text;
  return false;
}

WorkArea* XbLibrary::Selected() {
  auto it = areas_.find(selected_);
  if (it == areas_.end()) {
    lastError_ = "No table is open in the selected work area";
    return nullptr;
  }
  return it->second.get();
}

// --- Creating

int XbLibrary::xb_CreateNew(const std::string& path, const std::string& /*alias*/, int driver, int fieldCount) {
  if (driver != kXbDriverFoxPro) {
    Fail("Only driver " + std::to_string(kXbDriverFoxPro) + " (FoxPro with FPT and CDX) is supported");
    return 0;
  }
  if (fieldCount < 1 || fieldCount > 255) {
    Fail("A table needs 1 to 255 fields");
    return 0;
  }
  creation_ = std::make_unique<Creation>();
  creation_->path = path;
  creation_->expected = fieldCount;
  return 1;
}

bool XbLibrary::xb_CreateField(const std::string& name, const std::string& type, int width, int decimals) {
  if (!creation_) return Fail("xb_CreateField without xb_CreateNew");
  if (type.size() != 1 || !xbase::IsKnownFieldType(type[0])) return Fail("Unknown field type \"" + type + "\"");
  if (static_cast<int>(creation_->fields.size()) >= creation_->expected)
    return Fail("More fields than announced to xb_CreateNew");
  xbase::FieldDef f;
  f.name = name;
  for (auto& c : f.name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  f.type = static_cast<xbase::FieldType>(std::toupper(static_cast<unsigned char>(type[0])));
  f.width = width;
  f.decimals = decimals;
  creation_->fields.push_back(f);
  return true;
}

bool XbLibrary::xb_CreateExec() {
  if (!creation_) return Fail("xb_CreateExec without xb_CreateNew");
  const std::unique_ptr<Creation> c = std::move(creation_);
  if (static_cast<int>(c->fields.size()) != c->expected)
    return Fail("The table " + c->path + " was announced with " + std::to_string(c->expected) + " fields but got " +
                std::to_string(c->fields.size()));
  std::string error;
  if (!xbase::DbfFile::Create(c->path, c->fields, error)) return Fail(error);
  return true;
}

// --- Opening and closing

int XbLibrary::xb_Use(const std::string& path, const std::string& /*alias*/) {
  std::string error;
  auto area = WorkArea::Open(path, &hideDeleted_, error);
  if (!area) {
    Fail(error);
    return 0;
  }
  int number = 1;
  while (areas_.count(number)) ++number;
  areas_[number] = std::move(area);
  selected_ = number;
  return number;
}

bool XbLibrary::xb_IndexOpen(const std::string& indexPath) {
  WorkArea* a = Selected();
  if (!a) return false;
  std::string error;
  const std::string path = indexPath.empty() ? a->StructuralIndexPath() : indexPath;
  return a->OpenIndex(path, error) || Fail(error);
}

int XbLibrary::xb_WorkArea() const { return areas_.count(selected_) ? selected_ : 0; }

bool XbLibrary::xb_Select(int area) {
  if (area != 0 && !areas_.count(area)) return Fail("There is no work area " + std::to_string(area));
  selected_ = area;
  return true;
}

bool XbLibrary::xb_Close() {
  auto it = areas_.find(selected_);
  if (it == areas_.end()) return Fail("No table is open in the selected work area");
  std::string error;
  const bool ok = it->second->Close(error);
  areas_.erase(it);
  return ok || Fail(error);
}

void XbLibrary::xb_CloseAll() {
  for (auto& [number, area] : areas_) {
    std::string error;
    if (!area->Close(error)) lastError_ = error;
  }
  areas_.clear();
  selected_ = 0;
}

bool XbLibrary::xb_CloseIndexes() {
  WorkArea* a = Selected();
  if (!a) return false;
  std::string error;
  return a->CloseIndex(error) || Fail(error);
}

// --- Tags

bool XbLibrary::xb_IndexTag(const std::string& indexFile, const std::string& tag, const std::string& key,
                            int /*option*/, bool descending, const std::string& condition) {
  WorkArea* a = Selected();
  if (!a) return false;
  std::string error;
  if (!indexFile.empty() && (!a->HasIndex() || indexFile != a->StructuralIndexPath()) &&
      !a->OpenIndex(indexFile, error))
    return Fail(error);
  return a->AddTag(tag, key, descending, condition, error) || Fail(error);
}

int XbLibrary::xb_TagArea(const std::string& tag) {
  WorkArea* a = Selected();
  return a ? a->TagNumber(tag) : 0;
}

int XbLibrary::xb_TagCount() {
  WorkArea* a = Selected();
  return a ? a->TagCount() : 0;
}

std::string XbLibrary::xb_TagName(int tagNumber) {
  WorkArea* a = Selected();
  return a ? a->TagName(tagNumber) : std::string();
}

bool XbLibrary::xb_SetOrder(int tagNumber) {
  WorkArea* a = Selected();
  if (!a) return false;
  std::string error;
  return a->SetOrder(tagNumber, error) || Fail(error);
}

int XbLibrary::xb_IndexOrd() {
  WorkArea* a = Selected();
  return a ? a->Order() : 0;
}

bool XbLibrary::xb_Reindex() {
  WorkArea* a = Selected();
  if (!a) return false;
  std::string error;
  return (a->Reindex(error) && a->GoTop(error)) || Fail(error);
}

bool XbLibrary::xb_IndexDamaged() {
  WorkArea* a = Selected();
  return a && a->IndexDamaged();
}

// --- Filter

bool XbLibrary::xb_Query(const std::string& expression) {
  WorkArea* a = Selected();
  if (!a) return false;
  std::string error;
  return a->SetFilter(expression, error) || Fail(error);
}

long XbLibrary::xb_QueryRecCount() {
  WorkArea* a = Selected();
  if (!a) return 0;
  long count = 0;
  std::string error;
  if (!a->CountVisible(count, error)) Fail(error);
  return count;
}

std::string XbLibrary::xb_DBFilter() {
  WorkArea* a = Selected();
  return a ? a->Filter() : std::string();
}

// --- Navigation

#define TLM_XB_MOVE(call)           \
  WorkArea* a = Selected();         \
  if (!a) return false;             \
  std::string error;                \
  return a->call || Fail(error)

bool XbLibrary::xb_Go(long recno) { TLM_XB_MOVE(Go(recno, error)); }
bool XbLibrary::xb_GoTop() { TLM_XB_MOVE(GoTop(error)); }
bool XbLibrary::xb_GoBottom() { TLM_XB_MOVE(GoBottom(error)); }
bool XbLibrary::xb_Skip(long count) { TLM_XB_MOVE(Skip(count, error)); }
bool XbLibrary::xb_Commit() { TLM_XB_MOVE(Commit(error)); }
bool XbLibrary::xb_AppendBlank() { TLM_XB_MOVE(AppendBlank(error)); }
bool XbLibrary::xb_Delete() { TLM_XB_MOVE(SetDeletionMark(true, error)); }
bool XbLibrary::xb_Recall() { TLM_XB_MOVE(SetDeletionMark(false, error)); }
bool XbLibrary::xb_Pack() { TLM_XB_MOVE(Pack(error)); }
bool XbLibrary::xb_PutRecord(const std::string& record) { TLM_XB_MOVE(PutBuffer(record, error)); }

#undef TLM_XB_MOVE

long XbLibrary::xb_RecNo() {
  WorkArea* a = Selected();
  return a ? a->RecNo() : 0;
}

long XbLibrary::xb_RecCount() {
  WorkArea* a = Selected();
  return a ? a->RecCount() : 0;
}

bool XbLibrary::xb_Bof() {
  WorkArea* a = Selected();
  return !a || a->Bof();
}

bool XbLibrary::xb_Eof() {
  WorkArea* a = Selected();
  return !a || a->Eof();
}

bool XbLibrary::xb_Seek(const std::string& key) {
  WorkArea* a = Selected();
  if (!a) return false;
  bool found = false;
  std::string error;
  if (!a->Seek(key, found, error)) return Fail(error);
  return found;
}

// --- Records and fields

int XbLibrary::xb_FieldCount() {
  WorkArea* a = Selected();
  return a ? static_cast<int>(a->Table().Fields().size()) : 0;
}

bool XbLibrary::xb_FieldInfo(int fieldNumber, xbase::FieldDef& out) {
  WorkArea* a = Selected();
  if (!a) return false;
  const auto& fields = a->Table().Fields();
  if (fieldNumber < 1 || fieldNumber > static_cast<int>(fields.size())) return Fail("No such field");
  out = fields[static_cast<std::size_t>(fieldNumber - 1)];
  return true;
}

int XbLibrary::xb_FieldNum(const std::string& field) {
  WorkArea* a = Selected();
  return a ? a->FieldIndex(field) + 1 : 0;
}

std::string XbLibrary::xb_FieldRaw(const std::string& field) { return ReadField(field, &WorkArea::FieldRaw); }

std::string XbLibrary::xb_FieldText(const std::string& field) { return ReadField(field, &WorkArea::FieldText); }

std::string XbLibrary::ReadField(const std::string& field,
                                 bool (WorkArea::*read)(int, std::string&, std::string&) const) {
  WorkArea* a = Selected();
  std::string out, error;
  if (!a) return out;
  const int i = a->FieldIndex(field);
  if (i < 0) {
    Fail("The table has no field " + field);
    return out;
  }
  if (!(a->*read)(i, out, error)) Fail(error);
  return out;
}

std::string XbLibrary::xb_GetRecord() {
  WorkArea* a = Selected();
  return a ? a->Buffer() : std::string();
}

bool XbLibrary::xb_Replace(const std::string& field, const std::string& value, int dataType) {
  WorkArea* a = Selected();
  if (!a) return false;
  const int i = a->FieldIndex(field);
  if (i < 0) return Fail("The table has no field " + field);
  std::string text = value;
  if (dataType == kXbMemoFromFile) {
    if (a->Table().Fields()[static_cast<std::size_t>(i)].type != xbase::FieldType::kMemo)
      return Fail("Field " + field + " is not a memo field");
    if (!ReadWholeFile(value, text)) return Fail("Cannot read the file " + value);
  }
  std::string error;
  return a->Replace(i, text, error) || Fail(error);
}

bool XbLibrary::xb_Deleted() {
  WorkArea* a = Selected();
  return a && a->Deleted();
}

bool XbLibrary::xb_Rlock() { return Selected() != nullptr; }
bool XbLibrary::xb_Unlock() { return Selected() != nullptr; }

bool XbLibrary::xb_BlobToFile(const std::string& field, const std::string& path) {
  WorkArea* a = Selected();
  if (!a) return false;
  const int i = a->FieldIndex(field);
  if (i < 0) return Fail("The table has no field " + field);
  std::string text, error;
  if (!a->FieldRaw(i, text, error)) return Fail(error);
  return WriteFileAtomically(path, text, &error) || Fail(error);
}

// --- Environment

void XbLibrary::xb_SetDeleted(bool hideDeleted) { hideDeleted_ = hideDeleted; }

void XbLibrary::xb_SysProp(int property, int value) { properties_[property] = value; }

int XbLibrary::SysPropValue(int property) const {
  auto it = properties_.find(property);
  return it == properties_.end() ? 0 : it->second;
}

}  // namespace tlm
