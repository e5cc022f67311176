#pragma once
// The program's four tables: the outgoing fax log, the received fax log, the
// cover sheet templates and the phone book. Each lives in the program folder
// as a DBF file with its CDX index file (and FPT memo file when it has memos).
#include <string>
#include <vector>

#include "storage/xb_components.h"

namespace tlm {

// Every table is limited by this filter once open; every tag has it as condition.
inline constexpr const char* kNotDeletedFilter = ".not. deleted()";

enum class LogTable { kOutgoing, kReceived, kCover, kPhone };

struct LogFieldDef {
  const char* name;
  const char* type;  // "C", "D", "L", "N" or "M"
  int width;
  int decimals;
};

struct LogTagDef {
  const char* name;
  const char* key;
  bool descending;
  const char* condition;
};

// "TLM.DBF", "TLMREC.DBF", "TLMCOV.DBF", "TLMPB.DBF".
std::string LogFileName(LogTable table);
// The fields in file order.
const std::vector<LogFieldDef>& LogFields(LogTable table);
// The single tag created when the index file is missing at open.
LogTagDef DefaultLogTag(LogTable table);
// The tags a rebuild creates, in order; the first is the order made current.
const std::vector<LogTagDef>& RebuildLogTags(LogTable table);

// Create the data file with its fields (not left open); true when it exists afterwards.
bool MakeFaxDBF(TXbEngine& engine, const std::string& path);
bool MakeRecFaxDBF(TXbEngine& engine, const std::string& path);
bool MakeCoverDBF(TXbEngine& engine, const std::string& path);
bool MakePhoneDBF(TXbEngine& engine, const std::string& path);
bool MakeLogDBF(LogTable table, TXbEngine& engine, const std::string& path);

// Open a table in `folder` (with a trailing '/'), creating the data file when
// missing and the default tag when the index file is missing (or found
// damaged), then apply the ".not. deleted()" filter. The cover table and the
// phone book get their tag as current order; the outgoing log moves to its
// first record. True when the table is open.
bool OpenFaxDBF(TXbTable& table, TXbEngine& engine, const std::string& folder);
bool OpenRecFaxDBF(TXbTable& table, TXbEngine& engine, const std::string& folder);
bool OpenCoverDBF(TXbTable& table, TXbEngine& engine, const std::string& folder);
bool OpenPhoneDBF(TXbTable& table, TXbEngine& engine, const std::string& folder);
bool OpenLogDBF(LogTable table, TXbTable& xbTable, TXbEngine& engine, const std::string& folder);

// After an append: remember the current record, close and reopen the table,
// apply ".not. deleted()" again and go back to the remembered record (a
// failure to go there is ignored). False only when the table cannot be reopened.
bool ReopenAtSameRecord(TXbTable& table, TXbEngine& engine);

// True when the open table has the tag (e.g. "DATEND", which only a rebuild makes).
bool HasTag(TXbEngine& engine, const std::string& tag);

// The rebuild of one table: close its indexes, delete its index file, pack
// (a failed pack is tried once more, a second failure is ignored), create the
// rebuild tags and make the first one the current order.
bool RebuildLogIndexes(LogTable table, TXbEngine& engine);

}  // namespace tlm
