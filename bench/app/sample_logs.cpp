#include "sample_logs.h"

#include <array>
#include <cstdio>

#include "storage/log_tables.h"
#include "storage/xb_components.h"

namespace tlm {

namespace {

constexpr std::array<const char*, 8> kNames = {"Harbour Freight Ltd", "Dr. Ines Moreau",  "City Planning Office",
                                               "Northwind Traders",   "Karl Jespersen",   "St. Mary's Clinic",
                                               "Acme Tooling",        "Law Office Brandt"};
constexpr std::array<const char*, 6> kSubjects = {"Signed contract, pages 1-4", "Invoice 2024-117",
                                                  "Building permit application", "Order confirmation",
                                                  "Lab results", "Meeting minutes"};
constexpr std::array<const char*, 5> kStations = {"+49 30 1234567", "ACME TOOLING", "", "555 0142", "NORTHWIND"};

// i counts from 0: a date in 2025 back to 2021, and a time in office hours.
std::string Date(int i) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", 2025 - (i / 336) % 5, 1 + (i / 28) % 12, 1 + i % 28);
  return text;
}

std::string Time(int i) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d", 8 + i % 10, (i * 7) % 60);
  return text;
}

}  // namespace

bool MakeSampleLogs(const std::string& folder, int outgoing, int received, std::string& error) {
  {
    TXbTable table;
    TXbEngine engine(table);
    if (!OpenFaxDBF(table, engine, folder)) {
      error = "cannot open the outgoing log: " + table.LastError();
      return false;
    }
    for (int i = 0; i < outgoing; ++i) {
      const bool sent = i % 7 != 3;
      bool ok = table.Append() && table.SetString("SUBJECT", kSubjects[i % kSubjects.size()]) &&
                table.SetBool("SENT", sent) && table.SetString("RECIPIENT", kNames[i % kNames.size()]) &&
                table.SetString("PHONE", "555-01" + std::to_string(10 + i % 90)) &&
                table.SetString("LASTRESULT", sent ? "Fax sent successfully" : "The line was busy");
      if (ok && sent) {
        ok = table.SetDate("DATESENT", Date(i)) && table.SetString("TIMESENT", Time(i)) &&
             table.SetInteger("PAGES", 1 + i % 9);
      }
      if (!ok || !table.Post()) {
        error = "cannot write the outgoing log: " + table.LastError();
        return false;
      }
    }
    RebuildLogIndexes(LogTable::kOutgoing, engine);
  }
  TXbTable table;
  TXbEngine engine(table);
  if (!OpenRecFaxDBF(table, engine, folder)) {
    error = "cannot open the received log: " + table.LastError();
    return false;
  }
  for (int i = 0; i < received; ++i) {
    char file[13];
    std::snprintf(file, sizeof file, "FAX%04d.APF", 1 + i % 9999);
    const bool ok = table.Append() && table.SetDate("DATEREC", Date(i)) && table.SetString("TIMEREC", Time(i)) &&
                    table.SetString("FROM", kStations[i % kStations.size()]) && table.SetInteger("PAGES", 1 + i % 5) &&
                    table.SetString("FAXFILE", file) && table.SetString("NOTES", i % 4 == 0 ? "Passed on to sales" : "");
    if (!ok || !table.Post()) {
      error = "cannot write the received log: " + table.LastError();
      return false;
    }
  }
  RebuildLogIndexes(LogTable::kReceived, engine);
  return true;
}

}  // namespace tlm
