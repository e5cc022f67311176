#include "storage/work_area.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/file_util.h"

namespace tlm::xbase {
namespace {

constexpr std::uint32_t kScanBatch = 1024;  // records per read in sequential scans

std::string Trimmed(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\0')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\0')) --e;
  return s.substr(b, e - b);
}

std::uint32_t MemoBlock(const FieldDef& f, const char* bytes) {
  if (f.width == 4) return GetLe32(reinterpret_cast<const unsigned char*>(bytes));
  std::uint64_t v = 0;
  for (int i = 0; i < f.width; ++i) {
    const char c = bytes[i];
    if (c >= '0' && c <= '9') v = v * 10 + static_cast<unsigned>(c - '0');
    else if (c != ' ') return 0;
    if (v > 0xFFFFFFFFu) return 0;
  }
  return static_cast<std::uint32_t>(v);
}

void SetMemoBlock(const FieldDef& f, char* bytes, std::uint32_t block) {
  if (f.width == 4) {
    PutLe32(reinterpret_cast<unsigned char*>(bytes), block);
    return;
  }
  std::memset(bytes, ' ', static_cast<std::size_t>(f.width));
  if (block == 0) return;
  char digits[16];
  const int n = std::snprintf(digits, sizeof digits, "%u", block);
  std::memcpy(bytes + f.width - n, digits, static_cast<std::size_t>(n));
}

bool ParseLogical(const std::string& value, char& out) {
  std::string v = Trimmed(value);
  for (auto& c : v) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (v.empty()) out = ' ';
  else if (v == "T" || v == "Y" || v == "1" || v == ".T." || v == "TRUE" || v == "YES") out = 'T';
  else if (v == "F" || v == "N" || v == "0" || v == ".F." || v == "FALSE" || v == "NO") out = 'F';
  else return false;
  return true;
}

bool FormatNumber(const FieldDef& f, const std::string& value, char* at, std::string& error) {
  const std::string v = Trimmed(value);
  std::memset(at, ' ', static_cast<std::size_t>(f.width));
  if (v.empty()) return true;
  char* end = nullptr;
  const double d = std::strtod(v.c_str(), &end);
  if (end != v.c_str() + v.size() || !std::isfinite(d)) {
    error = "\"" + value + "\" is not a number (field " + f.name + ")";
    return false;
  }
  char text[64];
  const int n = std::snprintf(text, sizeof text, "%.*f", f.decimals, d);
  if (n <= 0 || n > f.width) {
    error = "the number " + v + " does not fit field " + f.name;
    return false;
  }
  std::memcpy(at + f.width - n, text, static_cast<std::size_t>(n));
  return true;
}

}  // namespace

std::unique_ptr<WorkArea> WorkArea::Open(const std::string& path, const bool* hideDeleted, std::string& error) {
  std::unique_ptr<WorkArea> a(new WorkArea);
  a->hideDeleted_ = hideDeleted;
  a->dbf_ = DbfFile::Open(path, error);
  if (!a->dbf_) return nullptr;
  if (a->dbf_->HasMemo()) {
    if (a->dbf_->Version() == 0x83 || a->dbf_->Version() == 0x8B) {
      error = "The table " + path + " keeps its memos in a DBT file, which is not supported";
      return nullptr;
    }
    a->fpt_ = FptFile::Open(MemoPathFor(path), error);
    if (!a->fpt_) return nullptr;
  }
  a->buffer_.assign(a->dbf_->RecordLength(), ' ');
  a->disk_ = a->buffer_;
  a->recno_ = static_cast<long>(a->dbf_->RecordCount()) + 1;
  const std::string cdx = a->StructuralIndexPath();
  if (FileExists(cdx)) {
    std::string problem;
    if (!a->OpenIndex(cdx, problem)) {
      a->indexDamaged_ = true;
      a->indexProblem_ = problem;
    }
  }
  std::string ignored;
  a->GoTop(ignored);
  return a;
}

WorkArea::~WorkArea() {
  std::string ignored;
  Close(ignored);
}

bool WorkArea::Close(std::string& error) {
  bool ok = Commit(error);
  if (cdx_ && !cdx_->Flush(dbf_->RecordCount(), error)) ok = false;
  return ok;
}

std::string WorkArea::StructuralIndexPath() const {
  std::string p = dbf_->Path();
  if (p.size() >= 3) {
    const bool lower = std::islower(static_cast<unsigned char>(p.back()));
    p.replace(p.size() - 3, 3, lower ? "cdx" : "CDX");
  }
  return p;
}

RecordView WorkArea::View(const char* record, std::uint32_t recno) const {
  RecordView v;
  v.fields = &dbf_->Fields();
  v.record = record;
  v.recno = recno;
  if (fpt_) {
    v.memo = [this](const FieldDef& f, const char* bytes) {
      std::string text, ignored;
      fpt_->Read(MemoBlock(f, bytes), text, ignored);
      return text;
    };
  }
  return v;
}

std::string WorkArea::KeyOf(const TagRuntime& tag, const char* record, std::uint32_t recno) const {
  const Value v = tag.key->Evaluate(View(record, recno));
  std::string key;
  switch (v.type) {
    case ValueType::kCharacter: key = v.text; break;
    case ValueType::kNumeric:
    case ValueType::kDate: key = SortableDouble(v.number); break;
    case ValueType::kLogical: key = v.logical ? "T" : "F"; break;
  }
  key.resize(tag.keyLength, tag.pad);
  return key;
}

bool WorkArea::InTag(const TagRuntime& tag, const char* record, std::uint32_t recno) const {
  return !tag.condition || tag.condition->IsTrue(View(record, recno));
}

bool WorkArea::MakeRuntime(const std::string& key, const std::string& condition, TagRuntime& out,
                           std::string& error) const {
  out.key = Expression::Parse(key, dbf_->Fields(), error);
  if (!out.key) return false;
  out.condition.reset();
  if (!Trimmed(condition).empty()) {
    out.condition = Expression::Parse(condition, dbf_->Fields(), error);
    if (!out.condition) return false;
    if (out.condition->Type() != ValueType::kLogical) {
      error = "The condition \"" + condition + "\" is not a logical expression";
      return false;
    }
  }
  // Character keys are as long as the expression's value on a blank record.
  const std::string blank(dbf_->RecordLength(), ' ');
  const Value sample = out.key->Evaluate(View(blank.data(), 0));
  switch (sample.type) {
    case ValueType::kCharacter:
      out.keyLength = static_cast<unsigned>(std::max<std::size_t>(1, sample.text.size()));
      out.pad = ' ';
      break;
    case ValueType::kLogical: out.keyLength = 1, out.pad = ' '; break;
    default: out.keyLength = 8, out.pad = '\0'; break;
  }
  if (out.keyLength > kCdxMaxKeyLength) {
    error = "The key \"" + key + "\" is longer than " + std::to_string(kCdxMaxKeyLength) + " characters";
    return false;
  }
  return true;
}

bool WorkArea::Visible(const char* record, std::uint32_t recno) const {
  if (record[0] == '*' && (*hideDeleted_ || filterIsNotDeleted_)) return false;
  return !filter_ || filterIsNotDeleted_ || filter_->IsTrue(View(record, recno));
}

bool WorkArea::ReadRecord(std::uint32_t recno, std::string& out, std::string& error) const {
  out.resize(dbf_->RecordLength());
  return dbf_->Read(recno, out.data(), error);
}

bool WorkArea::CompileTag(int tag, std::string& error) {
  const CdxFile::Tag& t = cdx_->TagAt(tag);
  TagRuntime rt;
  if (!MakeRuntime(t.key, t.condition, rt, error)) return false;
  // The file's key length rules (another program may have chosen it).
  rt.keyLength = t.keyLength;
  cdx_->SetKeyPad(tag, rt.pad);
  if (static_cast<std::size_t>(tag) >= tagRuntime_.size()) tagRuntime_.resize(static_cast<std::size_t>(tag) + 1);
  tagRuntime_[static_cast<std::size_t>(tag)] = std::move(rt);
  return true;
}

bool WorkArea::OpenIndex(const std::string& path, std::string& error) {
  if (!Commit(error)) return false;
  if (cdx_ && !CloseIndex(error)) return false;
  indexDamaged_ = false;
  indexProblem_.clear();
  cdx_ = FileExists(path) ? CdxFile::Open(path, error) : CdxFile::Create(path, error);
  if (!cdx_) return false;
  tagRuntime_.clear();
  for (int i = 0; i < cdx_->TagCount(); ++i) {
    if (!CompileTag(i, error)) {
      error = "The index " + path + " cannot be used: " + error;
      cdx_.reset();
      tagRuntime_.clear();
      return false;
    }
  }
  if (!cdx_->IsCurrentFor(dbf_->RecordCount()) && !Reindex(error)) {
    cdx_.reset();
    tagRuntime_.clear();
    return false;
  }
  std::string ignored;
  dbf_->SetStructuralIndexFlag(path == StructuralIndexPath(), ignored);
  return true;
}

bool WorkArea::CloseIndex(std::string& error) {
  if (!Commit(error)) return false;
  bool ok = true;
  if (cdx_) ok = cdx_->Flush(dbf_->RecordCount(), error);
  cdx_.reset();
  tagRuntime_.clear();
  order_ = 0;
  return ok;
}

int WorkArea::TagNumber(const std::string& name) const { return cdx_ ? cdx_->FindTag(name) + 1 : 0; }

std::string WorkArea::TagName(int number) const {
  if (!cdx_ || number < 1 || number > cdx_->TagCount()) return "";
  return cdx_->TagAt(number - 1).name;
}

bool WorkArea::SetOrder(int number, std::string& error) {
  if (number < 0 || number > TagCount()) {
    error = "There is no index tag number " + std::to_string(number);
    return false;
  }
  if (!Commit(error)) return false;
  order_ = number;
  cursor_ = {};
  return true;
}

bool WorkArea::IndexFailure(const std::string& what, std::string& error) {
  error = what;
  indexDamaged_ = true;
  indexProblem_ = what;
  return false;
}

bool WorkArea::CollectKeys(std::vector<CdxFile::SortedKeys>& keys, const std::vector<const TagRuntime*>& tags,
                           std::string& error) {
  keys.assign(tags.size(), {});
  const std::uint32_t count = dbf_->RecordCount();
  const unsigned length = dbf_->RecordLength();
  std::vector<char> chunk;
  for (std::uint32_t first = 1; first <= count; first += kScanBatch) {
    const std::uint32_t n = std::min(kScanBatch, count - first + 1);
    chunk.resize(std::size_t(n) * length);
    if (!dbf_->ReadMany(first, n, chunk.data(), error)) return false;
    for (std::uint32_t i = 0; i < n; ++i) {
      const char* rec = chunk.data() + std::size_t(i) * length;
      for (std::size_t t = 0; t < tags.size(); ++t)
        if (InTag(*tags[t], rec, first + i)) keys[t].emplace_back(KeyOf(*tags[t], rec, first + i), first + i);
    }
  }
  for (auto& k : keys) std::sort(k.begin(), k.end());
  return true;
}

bool WorkArea::AddTag(const std::string& name, const std::string& key, bool descending, const std::string& condition,
                      std::string& error) {
  if (!Commit(error)) return false;
  std::string upper = Trimmed(name);
  for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper.empty() || upper.size() > 10) {
    error = "The tag name \"" + name + "\" must have 1 to 10 characters";
    return false;
  }
  TagRuntime rt;
  if (!MakeRuntime(key, condition, rt, error)) return false;
  if (!cdx_ && !OpenIndex(StructuralIndexPath(), error)) return false;
  CdxFile::Tag def;
  def.name = upper;
  def.key = key;
  def.condition = rt.condition ? condition : "";
  def.descending = descending;
  def.keyLength = rt.keyLength;
  def.pad = rt.pad;
  std::vector<CdxFile::SortedKeys> keys;
  if (!CollectKeys(keys, {&rt}, error)) return false;
  const int tag = cdx_->PutTag(def, keys[0], error);
  if (tag < 0) return IndexFailure(error, error);
  if (!CompileTag(tag, error)) return false;
  std::string ignored;
  dbf_->SetStructuralIndexFlag(cdx_->Path() == StructuralIndexPath(), ignored);
  order_ = tag + 1;
  cursor_ = {};
  return true;
}

bool WorkArea::Reindex(std::string& error) {
  if (!cdx_) {
    error = "The table " + Path() + " has no open index";
    return false;
  }
  if (!Commit(error)) return false;
  // Small tables are read once for all tags; large ones once per tag, so
  // that only one tag's keys are held in memory.
  const bool large = std::uint64_t(dbf_->RecordCount()) * static_cast<unsigned>(cdx_->TagCount()) > 400000;
  std::vector<int> all;
  for (int i = 0; i < cdx_->TagCount(); ++i) all.push_back(i);
  std::vector<std::vector<int>> passes;
  if (large)
    for (int i : all) passes.push_back({i});
  else
    passes.push_back(all);
  for (const auto& tags : passes) {
    std::vector<const TagRuntime*> runtimes;
    for (int t : tags) runtimes.push_back(&tagRuntime_[static_cast<std::size_t>(t)]);
    std::vector<CdxFile::SortedKeys> keys;
    if (!CollectKeys(keys, runtimes, error)) return false;
    for (std::size_t k = 0; k < tags.size(); ++k)
      if (!cdx_->RebuildTag(tags[k], keys[k], error)) return IndexFailure(error, error);
  }
  cursor_ = {};
  indexDamaged_ = false;
  indexProblem_.clear();
  return cdx_->Flush(dbf_->RecordCount(), error);
}

bool WorkArea::VerifyIndex(std::string& error) {
  if (!cdx_) return true;
  if (!Commit(error) || !cdx_->Verify(error)) return false;
  std::vector<int> tags;
  std::vector<const TagRuntime*> runtimes;
  for (int i = 0; i < cdx_->TagCount(); ++i) {
    tags.push_back(i);
    runtimes.push_back(&tagRuntime_[static_cast<std::size_t>(i)]);
  }
  std::vector<CdxFile::SortedKeys> expected;
  if (!CollectKeys(expected, runtimes, error)) return false;
  for (int t : tags) {
    CdxFile::Cursor c;
    if (!cdx_->First(t, c, error)) return false;
    std::size_t i = 0;
    const auto& want = expected[static_cast<std::size_t>(t)];
    while (c.Valid()) {
      std::string key;
      std::uint32_t rec;
      if (!cdx_->Entry(c, &key, &rec, error)) return false;
      if (i >= want.size() || want[i].first != key || want[i].second != rec) {
        error = "tag " + cdx_->TagAt(t).name + " differs from the data at entry " + std::to_string(i + 1);
        return false;
      }
      ++i;
      if (!cdx_->Next(c, error)) return false;
    }
    if (i != want.size()) {
      error = "tag " + cdx_->TagAt(t).name + " lacks keys";
      return false;
    }
  }
  return true;
}

bool WorkArea::SetFilter(const std::string& expression, std::string& error) {
  if (Trimmed(expression).empty()) {
    filter_.reset();
    filterText_.clear();
    filterIsNotDeleted_ = false;
    return true;
  }
  auto f = Expression::Parse(expression, dbf_->Fields(), error);
  if (!f) return false;
  if (f->Type() != ValueType::kLogical) {
    error = "The filter \"" + expression + "\" is not a logical expression";
    return false;
  }
  filterIsNotDeleted_ = f->IsNotDeletedTest();
  filter_ = std::move(f);
  filterText_ = expression;
  return true;
}

bool WorkArea::CountVisible(long& count, std::string& error) {
  count = 0;
  if (!Commit(error)) return false;
  const std::uint32_t total = dbf_->RecordCount();
  const unsigned length = dbf_->RecordLength();
  std::vector<char> chunk;
  for (std::uint32_t first = 1; first <= total; first += kScanBatch) {
    const std::uint32_t n = std::min(kScanBatch, total - first + 1);
    chunk.resize(std::size_t(n) * length);
    if (!dbf_->ReadMany(first, n, chunk.data(), error)) return false;
    for (std::uint32_t i = 0; i < n; ++i)
      if (Visible(chunk.data() + std::size_t(i) * length, first + i)) ++count;
  }
  return true;
}

void WorkArea::SetEof() {
  recno_ = static_cast<long>(dbf_->RecordCount()) + 1;
  buffer_.assign(dbf_->RecordLength(), ' ');
  disk_ = buffer_;
  eof_ = true;
  cursor_ = {};
}

bool WorkArea::Load(std::uint32_t recno, std::string& error) {
  std::string rec;
  if (!ReadRecord(recno, rec, error)) return false;
  Take(recno, rec);
  return true;
}

void WorkArea::Take(std::uint32_t recno, std::string& record) {
  buffer_.swap(record);
  disk_ = buffer_;
  recno_ = recno;
  eof_ = false;
  bof_ = false;
}

bool WorkArea::Go(long recno, std::string& error) {
  if (!Commit(error)) return false;
  cursor_ = {};
  if (recno < 1 || recno > static_cast<long>(dbf_->RecordCount())) {
    SetEof();
    bof_ = dbf_->RecordCount() == 0;
    error = "There is no record " + std::to_string(recno);
    return false;
  }
  return Load(static_cast<std::uint32_t>(recno), error);
}

// Natural order: the first visible record from `from` in the direction.
bool WorkArea::SettleNatural(long from, bool forward, std::string& error) {
  const long count = static_cast<long>(dbf_->RecordCount());
  std::string rec;
  for (long r = from; r >= 1 && r <= count; r += forward ? 1 : -1) {
    if (!ReadRecord(static_cast<std::uint32_t>(r), rec, error)) return false;
    if (Visible(rec.data(), static_cast<std::uint32_t>(r))) {
      Take(static_cast<std::uint32_t>(r), rec);
      return true;
    }
  }
  SetEof();
  return true;
}

bool WorkArea::StepOrdered(CdxFile::Cursor& c, bool forward, std::string& error) {
  const bool physicalForward = forward != cdx_->TagAt(order_ - 1).descending;
  return physicalForward ? cdx_->Next(c, error) : cdx_->Prev(c, error);
}

// Ordered: the first visible record from cursor `c` in the direction.
bool WorkArea::SettleOrdered(CdxFile::Cursor c, bool forward, std::string& error) {
  std::string rec;
  const std::uint64_t limit = std::uint64_t(dbf_->RecordCount()) + 2;
  for (std::uint64_t steps = 0; c.Valid(); ++steps) {
    if (steps > limit) return IndexFailure("The index " + cdx_->Path() + " is damaged: it loops", error);
    std::uint32_t r;
    if (!cdx_->Entry(c, nullptr, &r, error)) return IndexFailure(error, error);
    if (r < 1 || r > dbf_->RecordCount())
      return IndexFailure("The index " + cdx_->Path() + " is damaged: it names record " + std::to_string(r) +
                              ", which does not exist",
                          error);
    if (!ReadRecord(r, rec, error)) return false;
    if (Visible(rec.data(), r)) {
      Take(r, rec);
      cursor_ = c;
      cursorChanges_ = cdx_->TagAt(order_ - 1).changes;
      return true;
    }
    if (!StepOrdered(c, forward, error)) return IndexFailure(error, error);
  }
  SetEof();
  return true;
}

bool WorkArea::Neighbour(bool forward, CdxFile::Cursor& out, std::string& error) {
  const int tag = order_ - 1;
  const CdxFile::Tag& t = cdx_->TagAt(tag);
  const auto logicalEnd = [&](bool last, CdxFile::Cursor& c) {
    return (last != t.descending) ? cdx_->Last(tag, c, error) : cdx_->First(tag, c, error);
  };
  if (eof_ || recno_ < 1 || recno_ > static_cast<long>(dbf_->RecordCount())) {
    // From the end of file only a backward move leads anywhere.
    if (forward) {
      out = {};
      return true;
    }
    return logicalEnd(true, out);
  }
  std::uint32_t atRec = 0;
  if (cursor_.Valid() && cursor_.tag == tag && cursorChanges_ == t.changes &&
      cdx_->Entry(cursor_, nullptr, &atRec, error) && atRec == static_cast<std::uint32_t>(recno_)) {
    out = cursor_;
    return StepOrdered(out, forward, error);
  }
  const std::string key = KeyOf(tag, disk_.data(), static_cast<std::uint32_t>(recno_));
  CdxFile::Cursor p;
  if (!cdx_->Seek(tag, key, static_cast<std::uint32_t>(recno_), p, error)) return false;
  std::string k;
  std::uint32_t r = 0;
  const bool exact = p.Valid() && cdx_->Entry(p, &k, &r, error) && k == key && r == static_cast<std::uint32_t>(recno_);
  const bool physicalForward = forward != t.descending;
  if (physicalForward) {
    out = p;
    return exact ? cdx_->Next(out, error) : true;
  }
  if (!p.Valid()) return cdx_->Last(tag, out, error);
  out = p;
  return cdx_->Prev(out, error);
}

bool WorkArea::GoTop(std::string& error) {
  if (!Commit(error)) return false;
  cursor_ = {};
  bof_ = false;
  if (order_ == 0) {
    if (!SettleNatural(1, true, error)) return false;
  } else {
    const int tag = order_ - 1;
    CdxFile::Cursor c;
    const bool ok = cdx_->TagAt(tag).descending ? cdx_->Last(tag, c, error) : cdx_->First(tag, c, error);
    if (!ok) return IndexFailure(error, error);
    if (!SettleOrdered(c, true, error)) return false;
  }
  bof_ = eof_;
  return true;
}

bool WorkArea::GoBottom(std::string& error) {
  if (!Commit(error)) return false;
  cursor_ = {};
  bof_ = false;
  if (order_ == 0) {
    if (!SettleNatural(static_cast<long>(dbf_->RecordCount()), false, error)) return false;
  } else {
    const int tag = order_ - 1;
    CdxFile::Cursor c;
    const bool ok = cdx_->TagAt(tag).descending ? cdx_->First(tag, c, error) : cdx_->Last(tag, c, error);
    if (!ok) return IndexFailure(error, error);
    if (!SettleOrdered(c, false, error)) return false;
  }
  bof_ = eof_;
  return true;
}

bool WorkArea::Skip(long count, std::string& error) {
  if (!Commit(error)) return false;
  const bool forward = count >= 0;
  long steps = count >= 0 ? count : -count;
  if (count == 0) {
    // Re-reads the current record.
    if (eof_) return true;
    return Load(static_cast<std::uint32_t>(recno_), error);
  }
  bof_ = false;
  while (steps-- > 0) {
    if (forward && eof_) return true;
    const long before = recno_;
    const bool wasEof = eof_;
    if (order_ == 0) {
      const long from = wasEof ? static_cast<long>(dbf_->RecordCount()) : (forward ? recno_ + 1 : recno_ - 1);
      if (!SettleNatural(from, forward, error)) return false;
    } else {
      CdxFile::Cursor c;
      if (!Neighbour(forward, c, error)) return IndexFailure(error, error);
      if (!SettleOrdered(c, forward, error)) return false;
    }
    if (!forward && eof_) {
      // Moved before the first record: stay on the first one, BOF set.
      if (wasEof) {
        bof_ = true;
        return true;
      }
      if (!Go(before, error)) return false;
      bof_ = true;
      return true;
    }
  }
  return true;
}

bool WorkArea::Seek(const std::string& key, bool& found, std::string& error) {
  found = false;
  if (!Commit(error)) return false;
  if (order_ == 0) {
    error = "Seek needs an index order";
    return false;
  }
  const int tag = order_ - 1;
  const CdxFile::Tag& t = cdx_->TagAt(tag);
  const Value sample = tagRuntime_[static_cast<std::size_t>(tag)].key->Evaluate(View(buffer_.data(), 0));
  std::string target;
  switch (sample.type) {
    case ValueType::kCharacter: target = key.substr(0, t.keyLength); break;
    case ValueType::kLogical: {
      char c;
      if (!ParseLogical(key, c) || c == ' ') {
        error = "\"" + key + "\" is not a logical value";
        return false;
      }
      target = std::string(1, c);
      break;
    }
    case ValueType::kDate: {
      int y, m, d;
      const std::string k = Trimmed(key);
      target = SortableDouble(k.empty() ? 0.0
                                        : (ParseDate8(k, y, m, d) ? static_cast<double>(JulianDay(y, m, d)) : -1.0));
      break;
    }
    case ValueType::kNumeric: target = SortableDouble(std::strtod(key.c_str(), nullptr)); break;
  }
  const auto matches = [&](const std::string& k) { return k.compare(0, target.size(), target) == 0; };
  CdxFile::Cursor c;
  if (!t.descending) {
    if (!cdx_->Seek(tag, target, 0, c, error)) return IndexFailure(error, error);
  } else {
    // The logical first match is the physically last one.
    std::string high = target;
    high.resize(t.keyLength, '\xFF');
    if (!cdx_->Seek(tag, high, 0xFFFFFFFFu, c, error)) return IndexFailure(error, error);
    if (!c.Valid() ? !cdx_->Last(tag, c, error) : !cdx_->Prev(c, error)) return IndexFailure(error, error);
  }
  std::string rec;
  for (std::uint64_t steps = 0; c.Valid() && steps <= dbf_->RecordCount(); ++steps) {
    std::string k;
    std::uint32_t r;
    if (!cdx_->Entry(c, &k, &r, error)) return IndexFailure(error, error);
    if (!matches(k)) break;
    if (r < 1 || r > dbf_->RecordCount())
      return IndexFailure("The index " + cdx_->Path() + " is damaged: it names a missing record", error);
    if (!ReadRecord(r, rec, error)) return false;
    if (Visible(rec.data(), r)) {
      Take(r, rec);
      cursor_ = c;
      cursorChanges_ = t.changes;
      found = true;
      return true;
    }
    if (!StepOrdered(c, true, error)) return IndexFailure(error, error);
  }
  SetEof();
  bof_ = false;
  return true;
}

bool WorkArea::PutBuffer(const std::string& record, std::string& error) {
  if (record.size() != dbf_->RecordLength()) {
    error = "The record must be " + std::to_string(dbf_->RecordLength()) + " bytes long";
    return false;
  }
  if (eof_ && !pendingAppend_) {
    error = "There is no current record";
    return false;
  }
  buffer_ = record;
  if (buffer_[0] != '*') buffer_[0] = ' ';
  dirty_ = true;
  return true;
}

bool WorkArea::FieldRaw(int field, std::string& out, std::string& error) const {
  const auto& fields = dbf_->Fields();
  if (field < 0 || field >= static_cast<int>(fields.size())) {
    error = "No such field";
    return false;
  }
  const FieldDef& f = fields[static_cast<std::size_t>(field)];
  if (f.type == FieldType::kMemo) {
    if (!fpt_) {
      out.clear();
      return true;
    }
    return fpt_->Read(MemoBlock(f, buffer_.data() + f.offset), out, error);
  }
  out.assign(buffer_, static_cast<std::size_t>(f.offset), static_cast<std::size_t>(f.width));
  return true;
}

bool WorkArea::FieldText(int field, std::string& out, std::string& error) const {
  if (!FieldRaw(field, out, error)) return false;
  const FieldDef& f = dbf_->Fields()[static_cast<std::size_t>(field)];
  switch (f.type) {
    case FieldType::kCharacter:
      while (!out.empty() && out.back() == ' ') out.pop_back();
      break;
    case FieldType::kNumeric: out = Trimmed(out); break;
    case FieldType::kDate: {
      int y, m, d;
      if (!ParseDate8(out, y, m, d)) out.clear();
      break;
    }
    case FieldType::kLogical: {
      char c = ' ';
      if (!ParseLogical(out, c) || c == ' ') out.clear();
      else out = std::string(1, c);
      break;
    }
    case FieldType::kMemo: break;
  }
  return true;
}

bool WorkArea::Replace(int field, const std::string& value, std::string& error) {
  const auto& fields = dbf_->Fields();
  if (field < 0 || field >= static_cast<int>(fields.size())) {
    error = "No such field";
    return false;
  }
  if (eof_ && !pendingAppend_) {
    error = "There is no current record";
    return false;
  }
  const FieldDef& f = fields[static_cast<std::size_t>(field)];
  char* at = buffer_.data() + f.offset;
  switch (f.type) {
    case FieldType::kCharacter: {
      std::memset(at, ' ', static_cast<std::size_t>(f.width));
      std::memcpy(at, value.data(), std::min<std::size_t>(value.size(), static_cast<std::size_t>(f.width)));
      break;
    }
    case FieldType::kDate: {
      const std::string v = Trimmed(value);
      int y, m, d;
      if (!v.empty() && !ParseDate8(v, y, m, d)) {
        error = "\"" + value + "\" is not a date as YYYYMMDD (field " + f.name + ")";
        return false;
      }
      std::memset(at, ' ', 8);
      std::memcpy(at, v.data(), v.size());
      break;
    }
    case FieldType::kLogical: {
      char c;
      if (!ParseLogical(value, c)) {
        error = "\"" + value + "\" is not a logical value (field " + f.name + ")";
        return false;
      }
      *at = c;
      break;
    }
    case FieldType::kNumeric:
      if (!FormatNumber(f, value, at, error)) return false;
      break;
    case FieldType::kMemo: {
      if (!fpt_) {
        error = "The table has no memo file";
        return false;
      }
      if (value.empty()) {
        SetMemoBlock(f, at, 0);
        break;
      }
      // Reuse the blocks of the memo on disk (never one only in this buffer).
      const std::uint32_t old = MemoBlock(f, disk_.data() + f.offset);
      const std::uint32_t current = MemoBlock(f, at);
      std::uint32_t block = 0;
      if (!fpt_->Write(old == current ? old : 0, value, block, error)) return false;
      SetMemoBlock(f, at, block);
      break;
    }
  }
  dirty_ = true;
  return true;
}

bool WorkArea::AppendBlank(std::string& error) {
  if (!Commit(error)) return false;
  buffer_.assign(dbf_->RecordLength(), ' ');
  disk_ = buffer_;
  pendingAppend_ = true;
  dirty_ = true;
  recno_ = static_cast<long>(dbf_->RecordCount()) + 1;
  eof_ = bof_ = false;
  cursor_ = {};
  return true;
}

bool WorkArea::Commit(std::string& error) {
  if (!dirty_ && !pendingAppend_) return true;
  const bool appended = pendingAppend_;
  if (appended) {
    if (!dbf_->Append(buffer_.data(), error)) return false;
    pendingAppend_ = false;
    recno_ = static_cast<long>(dbf_->RecordCount());
  } else if (!dbf_->Write(static_cast<std::uint32_t>(recno_), buffer_.data(), error)) {
    return false;
  }
  dirty_ = false;
  const std::string old = std::move(disk_);
  disk_ = buffer_;
  if (!cdx_) return true;
  const std::uint32_t r = static_cast<std::uint32_t>(recno_);
  for (int t = 0; t < cdx_->TagCount(); ++t) {
    const bool newIn = InTag(t, buffer_.data(), r);
    const std::string newKey = newIn ? KeyOf(t, buffer_.data(), r) : std::string();
    if (!appended) {
      const bool oldIn = InTag(t, old.data(), r);
      const std::string oldKey = oldIn ? KeyOf(t, old.data(), r) : std::string();
      if (oldIn == newIn && oldKey == newKey) continue;
      if (oldIn && !cdx_->Remove(t, oldKey, r, error)) return IndexFailure(error, error);
    }
    if (newIn && !cdx_->Insert(t, newKey, r, error)) return IndexFailure(error, error);
  }
  return true;
}

bool WorkArea::SetDeletionMark(bool deleted, std::string& error) {
  if (eof_ && !pendingAppend_) {
    error = "There is no current record";
    return false;
  }
  buffer_[0] = deleted ? '*' : ' ';
  dirty_ = true;
  return Commit(error);
}

bool WorkArea::Pack(std::string& error) {
  if (!Commit(error)) return false;
  // Live memos are copied into a fresh memo file, which replaces the old one
  // together with the table; memos of removed records and replaced texts go.
  const std::string memoPath = fpt_ ? MemoPathFor(Path()) : std::string();
  const std::string memoTemp = fpt_ ? DbfFile::PackTempPath(memoPath) : std::string();
  std::unique_ptr<FptBuilder> fresh;
  if (fpt_) {
    fresh = std::make_unique<FptBuilder>(memoTemp, fpt_->BlockSize());
    if (!fresh->Start(error)) return false;
  }
  const auto& fields = dbf_->Fields();
  bool memosDone = !fresh;
  const auto keep = [&](std::uint32_t recno, char* rec) {
    if (rec[0] != '*') {
      for (const FieldDef& f : fields) {
        if (f.type != FieldType::kMemo || !fresh) continue;
        const std::uint32_t block = MemoBlock(f, rec + f.offset);
        if (block == 0) continue;
        std::string text;
        std::uint32_t copied = 0;
        if (!fpt_->Read(block, text, error) || !fresh->Append(text, copied, error)) return DbfFile::kAbort;
        SetMemoBlock(f, rec + f.offset, copied);
      }
    }
    // The new memo file is complete once the last record has been seen.
    if (!memosDone && recno == dbf_->RecordCount()) {
      if (!fresh->Finish(error)) return DbfFile::kAbort;
      memosDone = true;
    }
    return rec[0] == '*' ? DbfFile::kDrop : DbfFile::kKeep;
  };
  if (!memosDone && dbf_->RecordCount() == 0 && !fresh->Finish(error)) return false;
  const bool packed = dbf_->Pack(keep, memoTemp, error);
  fresh.reset();
  if (!packed) {
    if (!memoTemp.empty()) std::remove(memoTemp.c_str());
    return false;
  }
  if (fpt_ && !(fpt_ = FptFile::Open(memoPath, error))) return false;
  cursor_ = {};
  if (cdx_ && !Reindex(error)) return false;
  return GoTop(error);
}

}  // namespace tlm::xbase
