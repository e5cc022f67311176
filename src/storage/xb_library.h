#pragma once
// The xBase table engine: numbered work areas, each one an open table (DBF
// data file, FPT memo file, CDX compound index), operated through xb_
// functions on the selected work area.
//
// Every operation works on the work area chosen with xb_Select (xb_Use and
// xb_CreateNew select the area they open). Failures return false / 0 and
// leave a text in LastError(); nothing throws.
//
// Records are read and written through a record buffer: xb_Replace changes
// the buffer, and the buffer is written (with every index tag brought up to
// date) by xb_Commit and before any move, append, delete, pack or close.
// Written records are in the operating system's hands at once, so they
// survive the program being killed. Tables are opened for exclusive use: a
// second open, from this or another process, fails with an "in use" error.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "storage/xbase_types.h"

namespace tlm {

namespace xbase {
class WorkArea;
}

// Driver code of FoxPro 2.x tables with FPT memos and CDX indexes.
inline constexpr int kXbDriverFoxPro = 2;
// xb_Replace data type: the value names a file whose contents go into the memo.
inline constexpr int kXbMemoFromFile = 8192;
// Engine property the program sets to 0 at start-up; accepted and kept.
inline constexpr int kXbPropStartup = 1009;

class XbLibrary {
 public:
  XbLibrary();
  ~XbLibrary();
  XbLibrary(const XbLibrary&) = delete;
  XbLibrary& operator=(const XbLibrary&) = delete;

  // The engine shared by the whole program.
  static XbLibrary& Default();

  // --- Creating a table: CreateNew, one CreateField per field, CreateExec.
  // Returns a creation handle (> 0), 0 on failure. The file is written by
  // xb_CreateExec; the table is not left open.
  int xb_CreateNew(const std::string& path, const std::string& alias, int driver, int fieldCount);
  bool xb_CreateField(const std::string& name, const std::string& type, int width, int decimals);
  bool xb_CreateExec();

  // --- Opening and closing.
  // Opens a table for exclusive use, with its structural CDX (same base name)
  // when one exists, and selects it. Returns the work area number, 0 on failure.
  int xb_Use(const std::string& path, const std::string& alias = "");
  // Opens (or creates, when missing) a compound index file for the selected table.
  bool xb_IndexOpen(const std::string& indexPath);
  int xb_WorkArea() const;  // the selected work area, 0 when none
  bool xb_Select(int area);
  bool xb_Close();          // closes the selected work area
  void xb_CloseAll();
  bool xb_CloseIndexes();   // closes the index file of the selected table

  // --- Index tags of the selected table.
  // Adds a tag, or replaces the tag of that name, builds it from the data and
  // makes it the current order. `indexFile` empty = the table's own CDX.
  bool xb_IndexTag(const std::string& indexFile, const std::string& tag, const std::string& key,
                   int option, bool descending, const std::string& condition);
  int xb_TagArea(const std::string& tag);   // tag number (1-based), 0 when absent
  int xb_TagCount();
  std::string xb_TagName(int tagNumber);
  bool xb_SetOrder(int tagNumber);          // 0 = natural record order
  int xb_IndexOrd();
  bool xb_Reindex();                        // rebuilds every tag from the data

  // --- Filter: records for which the logical expression is false are skipped.
  bool xb_Query(const std::string& expression);  // empty removes the filter
  long xb_QueryRecCount();                        // records passing filter (and deletion setting)
  std::string xb_DBFilter();

  // --- Navigation. The current record number runs 1..RecCount; after moving
  // past either end it is RecCount + 1 (EOF) or the first visible record (BOF).
  bool xb_Go(long recno);
  bool xb_GoTop();
  bool xb_GoBottom();
  bool xb_Skip(long count = 1);
  long xb_RecNo();
  long xb_RecCount();
  bool xb_Bof();
  bool xb_Eof();
  // Finds the first record in the current order whose key begins with `key`
  // (character keys) or equals it (date keys as "YYYYMMDD", numeric keys as
  // text), honouring the filter and the deletion setting. True when found;
  // otherwise there is no current record (EOF).
  bool xb_Seek(const std::string& key);

  // --- Records and fields.
  int xb_FieldCount();
  bool xb_FieldInfo(int fieldNumber, xbase::FieldDef& out);  // 1-based
  int xb_FieldNum(const std::string& field);                // 1-based, 0 when absent
  // The field as stored (fixed width, blank padded); memo fields give the memo text.
  std::string xb_FieldRaw(const std::string& field);
  // The field as text: C without trailing blanks, D "YYYYMMDD" or "",
  // L "T"/"F" or "", N without blanks, M the memo text.
  std::string xb_FieldText(const std::string& field);
  std::string xb_GetRecord();                  // the whole record buffer, deletion flag first
  bool xb_PutRecord(const std::string& record);  // replaces the whole buffer (memo references kept as given)
  bool xb_AppendBlank();                       // a new blank record becomes current
  // Stores `value` in the field of the record buffer. C: padded or cut to the
  // width; D: "YYYYMMDD" or ""; L: "T"/"Y"/"1"/".T." true, "F"/"N"/"0"/".F." false, "" unset;
  // N: a number, formatted to width and decimals; M: the memo text, or with
  // dataType kXbMemoFromFile the path of a file holding it.
  bool xb_Replace(const std::string& field, const std::string& value, int dataType = 0);
  bool xb_Commit();   // writes the record buffer when it was changed
  bool xb_Delete();   // sets the deletion mark
  bool xb_Recall();   // clears it
  bool xb_Deleted();
  bool xb_Pack();     // removes marked records, compacts the memo file, rebuilds the tags
  bool xb_Rlock();    // the table is exclusive: always granted
  bool xb_Unlock();

  // --- Memos.
  bool xb_BlobToFile(const std::string& field, const std::string& path);

  // --- Environment.
  void xb_SetDeleted(bool hideDeleted);  // on: records with the deletion mark are skipped
  bool DeletedHidden() const { return hideDeleted_; }
  void xb_SysProp(int property, int value);
  int SysPropValue(int property) const;

  // The text of the last failure.
  const std::string& LastError() const { return lastError_; }
  // True when the selected table's index file was found damaged at open and
  // was not opened (it can be rebuilt with xb_IndexOpen and xb_IndexTag).
  bool xb_IndexDamaged();

 private:
  struct Creation;
  friend struct XbLibraryTestAccess;
  xbase::WorkArea* Selected();
  bool Fail(const std::string& text);
  // A field of the current record of the selected area, read by `read`.
  std::string ReadField(const std::string& field,
                        bool (xbase::WorkArea::*read)(int, std::string&, std::string&) const);

  std::map<int, std::unique_ptr<xbase::WorkArea>> areas_;
  int selected_ = 0;
  bool hideDeleted_ = false;
  std::map<int, int> properties_;
  std::unique_ptr<Creation> creation_;
  std::string lastError_;
};

}  // namespace tlm
