#include "storage/log_tables.h"

#include <cstdio>

#include "platform/file_util.h"

namespace tlm {
namespace {

const std::vector<LogFieldDef> kOutgoingFields = {
    {"SUBJECT", "C", 50, 0},    {"SENT", "L", 1, 0},   {"DATESENT", "D", 8, 0},      {"TIMESENT", "C", 5, 0},
    {"RECIPIENT", "C", 35, 0},  {"PHONE", "C", 25, 0}, {"PAGES", "N", 2, 0},         {"LASTRESULT", "C", 100, 0},
    {"RTFCOVER", "M", 10, 0},   {"RTFDOC", "M", 10, 0},
};
const std::vector<LogFieldDef> kReceivedFields = {
    {"DATEREC", "D", 8, 0}, {"TIMEREC", "C", 5, 0},  {"FROM", "C", 20, 0},
    {"PAGES", "N", 2, 0},   {"FAXFILE", "C", 12, 0}, {"NOTES", "C", 60, 0},
};
const std::vector<LogFieldDef> kCoverFields = {{"DESCRIPT", "C", 35, 0}, {"COVER", "M", 10, 0}};
const std::vector<LogFieldDef> kPhoneFields = {{"NAME", "C", 35, 0}, {"PHONE", "C", 25, 0}};

const std::vector<LogTagDef> kOutgoingRebuild = {
    {"DATESENT", "datesent", true, kNotDeletedFilter},
    {"DATEND", "DTOS(DATESENT)+TIMESENT", false, kNotDeletedFilter},
    {"SUBJECT", "UPPER(SUBJECT)", false, kNotDeletedFilter},
    {"RECIPIENT", "UPPER(RECIPIENT)", false, kNotDeletedFilter},
};
const std::vector<LogTagDef> kReceivedRebuild = {
    {"DATETIME", "DTOS(DATEREC)+TIMEREC", true, kNotDeletedFilter},
    {"DATEND", "DTOS(DATEREC)+TIMEREC", false, kNotDeletedFilter},
    {"FROM", "UPPER(FROM)", true, kNotDeletedFilter},
};
const std::vector<LogTagDef> kCoverRebuild = {{"DESCRIPT", "DESCRIPT", false, kNotDeletedFilter}};
const std::vector<LogTagDef> kPhoneRebuild = {{"NAME", "UPPER(NAME)", false, kNotDeletedFilter}};

}  // namespace

std::string LogFileName(LogTable table) {
  switch (table) {
    case LogTable::kOutgoing: return "TLM.DBF";
    case LogTable::kReceived: return "TLMREC.DBF";
    case LogTable::kCover: return "TLMCOV.DBF";
    case LogTable::kPhone: return "TLMPB.DBF";
  }
  return {};
}

const std::vector<LogFieldDef>& LogFields(LogTable table) {
  switch (table) {
    case LogTable::kOutgoing: return kOutgoingFields;
    case LogTable::kReceived: return kReceivedFields;
    case LogTable::kCover: return kCoverFields;
    case LogTable::kPhone: return kPhoneFields;
  }
  return kPhoneFields;
}

LogTagDef DefaultLogTag(LogTable table) {
  switch (table) {
    // A missing index of the outgoing log gets the date-and-time key; a
    // rebuild replaces it with the plain date key.
    case LogTable::kOutgoing: return {"DATESENT", "DTOS(DATESENT)+TIMESENT", true, kNotDeletedFilter};
    case LogTable::kReceived: return kReceivedRebuild.front();
    case LogTable::kCover: return kCoverRebuild.front();
    case LogTable::kPhone: return kPhoneRebuild.front();
  }
  return kPhoneRebuild.front();
}

const std::vector<LogTagDef>& RebuildLogTags(LogTable table) {
  switch (table) {
    case LogTable::kOutgoing: return kOutgoingRebuild;
    case LogTable::kReceived: return kReceivedRebuild;
    case LogTable::kCover: return kCoverRebuild;
    case LogTable::kPhone: return kPhoneRebuild;
  }
  return kPhoneRebuild;
}

bool MakeLogDBF(LogTable table, TXbEngine& engine, const std::string& path) {
  const auto& fields = LogFields(table);
  if (!engine.CreateNew(path, static_cast<int>(fields.size()))) return false;
  for (const auto& f : fields)
    if (!engine.CreateField(f.name, f.type, f.width, f.decimals)) return false;
  return engine.CreateExec() && FileExists(path);
}

bool MakeFaxDBF(TXbEngine& engine, const std::string& path) { return MakeLogDBF(LogTable::kOutgoing, engine, path); }
bool MakeRecFaxDBF(TXbEngine& engine, const std::string& path) {
  return MakeLogDBF(LogTable::kReceived, engine, path);
}
bool MakeCoverDBF(TXbEngine& engine, const std::string& path) { return MakeLogDBF(LogTable::kCover, engine, path); }
bool MakePhoneDBF(TXbEngine& engine, const std::string& path) { return MakeLogDBF(LogTable::kPhone, engine, path); }

bool OpenLogDBF(LogTable table, TXbTable& xbTable, TXbEngine& engine, const std::string& folder) {
  xbTable.SetFileName(WithTrailingSlash(folder) + LogFileName(table));
  const std::string& path = xbTable.FileName();
  if (!FileExists(path) && !MakeLogDBF(table, engine, path)) return false;
  const bool isLog = table == LogTable::kOutgoing || table == LogTable::kReceived;
  if (isLog) xbTable.Close();
  if (!xbTable.Open()) return false;
  // A damaged index file is set aside and made again like a missing one.
  if (engine.IndexDamaged() && FileExists(xbTable.IndexFileName())) {
    const std::string aside = xbTable.IndexFileName() + ".damaged";
    std::remove(aside.c_str());
    std::rename(xbTable.IndexFileName().c_str(), aside.c_str());
  }
  if (!FileExists(xbTable.IndexFileName()) || engine.IndexDamaged()) {
    const LogTagDef tag = DefaultLogTag(table);
    if (!engine.IndexTag(tag.name, tag.key, tag.descending, tag.condition)) return false;
  }
  if (!isLog && !engine.SetOrder(engine.TagArea(DefaultLogTag(table).name))) return false;
  if (!engine.SetFilter(kNotDeletedFilter)) return false;
  if (table == LogTable::kOutgoing) xbTable.First();
  return true;
}

bool OpenFaxDBF(TXbTable& table, TXbEngine& engine, const std::string& folder) {
  return OpenLogDBF(LogTable::kOutgoing, table, engine, folder);
}
bool OpenRecFaxDBF(TXbTable& table, TXbEngine& engine, const std::string& folder) {
  return OpenLogDBF(LogTable::kReceived, table, engine, folder);
}
bool OpenCoverDBF(TXbTable& table, TXbEngine& engine, const std::string& folder) {
  return OpenLogDBF(LogTable::kCover, table, engine, folder);
}
bool OpenPhoneDBF(TXbTable& table, TXbEngine& engine, const std::string& folder) {
  return OpenLogDBF(LogTable::kPhone, table, engine, folder);
}

bool ReopenAtSameRecord(TXbTable& table, TXbEngine& engine) {
  const long recno = table.RecNo();
  const int order = engine.IndexOrd();
  table.Close();
  if (!table.Open()) return false;
  engine.SetOrder(order);
  engine.SetFilter(kNotDeletedFilter);
  table.GoTo(recno);  // a failure to get there is ignored
  return true;
}

bool HasTag(TXbEngine& engine, const std::string& tag) { return engine.TagArea(tag) > 0; }

bool RebuildLogIndexes(LogTable table, TXbEngine& engine) {
  TXbTable& t = engine.Table();
  if (!t.Active() && !t.Open()) return false;
  engine.CloseIndexes();
  std::remove(t.IndexFileName().c_str());
  if (!engine.Pack()) engine.Pack();  // a second failure leaves the table unpacked
  bool ok = true;
  for (const auto& tag : RebuildLogTags(table))
    ok = engine.IndexTag(tag.name, tag.key, tag.descending, tag.condition) && ok;
  return engine.SetOrder(engine.TagArea(RebuildLogTags(table).front().name)) && ok;
}

}  // namespace tlm
