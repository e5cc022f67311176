// The table engine through its xb_ operations: records, fields, memos,
// order and filter, tags kept current, pack, exclusive use and recovery.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "area_access.h"
#include "platform/file_util.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

using testing::TempDir;

class EngineTest : public ::testing::Test {
 protected:
  void CreateTable(const std::string& name = "T.DBF") {
    path_ = dir_.File(name);
    ASSERT_NE(lib_.xb_CreateNew(path_, "XXXXXXXXXX", kXbDriverFoxPro, 5), 0);
    ASSERT_TRUE(lib_.xb_CreateField("NAME", "C", 20, 0));
    ASSERT_TRUE(lib_.xb_CreateField("WHEN", "D", 8, 0));
    ASSERT_TRUE(lib_.xb_CreateField("COUNT", "N", 5, 0));
    ASSERT_TRUE(lib_.xb_CreateField("DONE", "L", 1, 0));
    ASSERT_TRUE(lib_.xb_CreateField("TEXT", "M", 10, 0));
    ASSERT_TRUE(lib_.xb_CreateExec()) << lib_.LastError();
  }
  void Use() { ASSERT_NE(lib_.xb_Use(path_), 0) << lib_.LastError(); }
  void Add(const std::string& name, const std::string& when, int count, const std::string& memo = "") {
    ASSERT_TRUE(lib_.xb_AppendBlank());
    ASSERT_TRUE(lib_.xb_Replace("NAME", name));
    ASSERT_TRUE(lib_.xb_Replace("WHEN", when)) << lib_.LastError();
    ASSERT_TRUE(lib_.xb_Replace("COUNT", std::to_string(count)));
    ASSERT_TRUE(lib_.xb_Replace("DONE", count % 2 ? "T" : "F"));
    if (!memo.empty()) {
      ASSERT_TRUE(lib_.xb_Replace("TEXT", memo));
    }
    ASSERT_TRUE(lib_.xb_Commit()) << lib_.LastError();
  }
  // Names in the current order from the top, honouring filter and deletion.
  std::vector<std::string> Names() {
    std::vector<std::string> out;
    lib_.xb_GoTop();
    for (int guard = 0; !lib_.xb_Eof() && guard < 100000; ++guard) {
      out.push_back(lib_.xb_FieldText("NAME"));
      lib_.xb_Skip(1);
    }
    return out;
  }
  std::vector<std::string> NamesBackwards() {
    std::vector<std::string> out;
    lib_.xb_GoBottom();
    for (int guard = 0; !lib_.xb_Eof() && guard < 100000; ++guard) {
      out.push_back(lib_.xb_FieldText("NAME"));
      if (!lib_.xb_Skip(-1) || lib_.xb_Bof()) break;
    }
    return out;
  }
  void Verify() {
    auto* area = AreaForTest();
    std::string error;
    ASSERT_TRUE(area->VerifyIndex(error)) << error;
  }
  xbase::WorkArea* AreaForTest();

  TempDir dir_;
  XbLibrary lib_;
  std::string path_;
};

xbase::WorkArea* EngineTest::AreaForTest() { return XbLibraryTestAccess::Selected(lib_); }

TEST_F(EngineTest, RecordsFieldsAndMemosRoundTrip) {
  CreateTable();
  Use();
  Add("alpha", "20240315", 3, "{\\rtf1 hello}");
  Add("beta", "", 0);
  const std::string big(5000, 'x');
  Add("gamma", "19991231", 12345, big);
  EXPECT_EQ(lib_.xb_RecCount(), 3);
  ASSERT_TRUE(lib_.xb_Close());
  Use();
  ASSERT_TRUE(lib_.xb_Go(1));
  EXPECT_EQ(lib_.xb_FieldText("NAME"), "alpha");
  EXPECT_EQ(lib_.xb_FieldRaw("NAME"), "alpha" + std::string(15, ' '));
  EXPECT_EQ(lib_.xb_FieldText("WHEN"), "20240315");
  EXPECT_EQ(lib_.xb_FieldText("COUNT"), "3");
  EXPECT_EQ(lib_.xb_FieldRaw("COUNT"), "    3");
  EXPECT_EQ(lib_.xb_FieldText("DONE"), "T");
  EXPECT_EQ(lib_.xb_FieldText("TEXT"), "{\\rtf1 hello}");
  ASSERT_TRUE(lib_.xb_Go(2));
  EXPECT_EQ(lib_.xb_FieldText("WHEN"), "");
  EXPECT_EQ(lib_.xb_FieldText("TEXT"), "");
  ASSERT_TRUE(lib_.xb_Go(3));
  EXPECT_EQ(lib_.xb_FieldText("TEXT"), big);
  // A shorter memo is rewritten in place, a longer one moves.
  ASSERT_TRUE(lib_.xb_Replace("TEXT", "short"));
  ASSERT_TRUE(lib_.xb_Commit());
  ASSERT_TRUE(lib_.xb_Go(1));
  ASSERT_TRUE(lib_.xb_Replace("TEXT", std::string(300, 'y')));
  ASSERT_TRUE(lib_.xb_Go(3));
  EXPECT_EQ(lib_.xb_FieldText("TEXT"), "short");
  ASSERT_TRUE(lib_.xb_Go(1));
  EXPECT_EQ(lib_.xb_FieldText("TEXT"), std::string(300, 'y'));
  // Memo to and from files.
  const std::string out = dir_.File("memo.rtf");
  ASSERT_TRUE(lib_.xb_BlobToFile("TEXT", out));
  EXPECT_EQ(testing::ReadText(out), std::string(300, 'y'));
  testing::WriteText(out, "{\\rtf1 from file}");
  ASSERT_TRUE(lib_.xb_Replace("TEXT", out, kXbMemoFromFile));
  ASSERT_TRUE(lib_.xb_Commit());
  EXPECT_EQ(lib_.xb_FieldText("TEXT"), "{\\rtf1 from file}");
  // Bad values are refused with a reason.
  EXPECT_FALSE(lib_.xb_Replace("WHEN", "2024-03-15"));
  EXPECT_FALSE(lib_.xb_Replace("COUNT", "1234567"));
  EXPECT_FALSE(lib_.xb_Replace("DONE", "maybe"));
  EXPECT_FALSE(lib_.xb_Replace("NOSUCH", "x"));
  EXPECT_NE(lib_.LastError().find("NOSUCH"), std::string::npos);
}

TEST_F(EngineTest, TagsFollowEveryChangeInTheirOwnOrder) {
  CreateTable();
  Use();
  ASSERT_TRUE(lib_.xb_IndexTag("", "NAMES", "UPPER(NAME)", 0, false, ".not. deleted()")) << lib_.LastError();
  ASSERT_TRUE(lib_.xb_IndexTag("", "NEWEST", "DTOS(WHEN)+NAME", 0, true, ".not. deleted()"));
  ASSERT_TRUE(lib_.xb_IndexTag("", "WHEN", "when", 0, true, ""));
  ASSERT_TRUE(lib_.xb_IndexTag("", "COUNT", "COUNT", 0, false, "COUNT > 2"));
  Add("delta", "20240102", 4);
  Add("Alpha", "20240105", 1);
  Add("charlie", "20231231", 3);
  Add("bravo", "", 9);
  Add("echo", "20240105", 5);
  ASSERT_TRUE(lib_.xb_SetOrder(lib_.xb_TagArea("names")));
  EXPECT_EQ(Names(), (std::vector<std::string>{"Alpha", "bravo", "charlie", "delta", "echo"}));
  EXPECT_EQ(NamesBackwards(), (std::vector<std::string>{"echo", "delta", "charlie", "bravo", "Alpha"}));
  ASSERT_TRUE(lib_.xb_SetOrder(lib_.xb_TagArea("NEWEST")));
  EXPECT_EQ(lib_.xb_IndexOrd(), 2);
  EXPECT_EQ(Names(), (std::vector<std::string>{"echo", "Alpha", "delta", "charlie", "bravo"}));
  ASSERT_TRUE(lib_.xb_SetOrder(3));
  EXPECT_EQ(Names(), (std::vector<std::string>{"echo", "Alpha", "delta", "charlie", "bravo"}));
  ASSERT_TRUE(lib_.xb_SetOrder(4));
  EXPECT_EQ(Names(), (std::vector<std::string>{"charlie", "delta", "echo", "bravo"}));

  // Replace moves a record within every tag; delete drops it from FOR tags.
  ASSERT_TRUE(lib_.xb_Go(2));
  ASSERT_TRUE(lib_.xb_Replace("NAME", "zulu"));
  ASSERT_TRUE(lib_.xb_Replace("WHEN", "20200101"));
  ASSERT_TRUE(lib_.xb_Commit());
  ASSERT_TRUE(lib_.xb_Go(3));
  ASSERT_TRUE(lib_.xb_Delete());
  lib_.xb_SetDeleted(true);
  ASSERT_TRUE(lib_.xb_SetOrder(1));
  EXPECT_EQ(Names(), (std::vector<std::string>{"bravo", "delta", "echo", "zulu"}));
  ASSERT_TRUE(lib_.xb_SetOrder(2));
  EXPECT_EQ(Names(), (std::vector<std::string>{"echo", "delta", "zulu", "bravo"}));
  Verify();
  // Seek in ascending and descending tags.
  ASSERT_TRUE(lib_.xb_SetOrder(1));
  EXPECT_TRUE(lib_.xb_Seek("DEL"));
  EXPECT_EQ(lib_.xb_FieldText("NAME"), "delta");
  EXPECT_FALSE(lib_.xb_Seek("CHARLIE"));  // deleted records are hidden
  EXPECT_TRUE(lib_.xb_Eof());
  ASSERT_TRUE(lib_.xb_SetOrder(3));
  EXPECT_TRUE(lib_.xb_Seek("20240105"));
  EXPECT_EQ(lib_.xb_RecNo(), 5);  // equal keys descend by record number
  // Pack renumbers and every tag is rebuilt.
  ASSERT_TRUE(lib_.xb_Pack());
  EXPECT_EQ(lib_.xb_RecCount(), 4);
  Verify();
  ASSERT_TRUE(lib_.xb_SetOrder(1));
  EXPECT_EQ(Names(), (std::vector<std::string>{"bravo", "delta", "echo", "zulu"}));
  ASSERT_TRUE(lib_.xb_Close());
  Use();
  EXPECT_EQ(lib_.xb_TagCount(), 4);
  Verify();
}

TEST_F(EngineTest, FilterAndDeletionHideRecordsUntilPack) {
  CreateTable();
  Use();
  for (int i = 1; i <= 10; ++i) Add("n" + std::to_string(i), "", i);
  ASSERT_TRUE(lib_.xb_Query("COUNT > 3 .and. .not. deleted()"));
  EXPECT_EQ(lib_.xb_DBFilter(), "COUNT > 3 .and. .not. deleted()");
  EXPECT_EQ(lib_.xb_QueryRecCount(), 7);
  ASSERT_TRUE(lib_.xb_Go(5));
  ASSERT_TRUE(lib_.xb_Delete());
  EXPECT_TRUE(lib_.xb_Deleted());
  EXPECT_EQ(lib_.xb_QueryRecCount(), 6);
  EXPECT_EQ(lib_.xb_RecCount(), 10);
  EXPECT_EQ(Names(), (std::vector<std::string>{"n4", "n6", "n7", "n8", "n9", "n10"}));
  EXPECT_FALSE(lib_.xb_Query("COUNT +"));
  EXPECT_NE(lib_.LastError().find("COUNT +"), std::string::npos);
  ASSERT_TRUE(lib_.xb_Query(""));
  lib_.xb_SetDeleted(true);
  EXPECT_EQ(lib_.xb_QueryRecCount(), 9);
  lib_.xb_SetDeleted(false);
  EXPECT_EQ(lib_.xb_QueryRecCount(), 10);
  ASSERT_TRUE(lib_.xb_Pack());
  EXPECT_EQ(lib_.xb_RecCount(), 9);
  // Skipping before the first record keeps it current with BOF set.
  ASSERT_TRUE(lib_.xb_GoTop());
  ASSERT_TRUE(lib_.xb_Skip(-1));
  EXPECT_TRUE(lib_.xb_Bof());
  EXPECT_EQ(lib_.xb_RecNo(), 1);
  ASSERT_TRUE(lib_.xb_GoBottom());
  ASSERT_TRUE(lib_.xb_Skip(1));
  EXPECT_TRUE(lib_.xb_Eof());
  EXPECT_EQ(lib_.xb_RecNo(), 10);
}

TEST_F(EngineTest, ATableIsForOneUserOnly) {
  CreateTable();
  Use();
  XbLibrary other;
  EXPECT_EQ(other.xb_Use(path_), 0);
  EXPECT_NE(other.LastError().find("is in use"), std::string::npos) << other.LastError();
  // Another process is refused as well.
  const pid_t child = fork();
  if (child == 0) {
    XbLibrary mine;
    _exit(mine.xb_Use(path_) == 0 && mine.LastError().find("in use") != std::string::npos ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_TRUE(lib_.xb_Close());
  EXPECT_NE(other.xb_Use(path_), 0);
}

TEST_F(EngineTest, LengthAndCountDisagreeingKeepsEveryCompleteRecord) {
  CreateTable();
  Use();
  for (int i = 1; i <= 5; ++i) Add("r" + std::to_string(i), "", i);
  ASSERT_TRUE(lib_.xb_Close());
  // The header claims 3 records; 5 are complete, and half a sixth follows.
  std::string bytes = testing::ReadText(path_);
  bytes[4] = 3;
  bytes.pop_back();  // the end-of-file mark
  bytes += std::string(20, 'Z');
  testing::WriteText(path_, bytes);
  Use();
  EXPECT_EQ(lib_.xb_RecCount(), 5);
  ASSERT_TRUE(lib_.xb_Go(5));
  EXPECT_EQ(lib_.xb_FieldText("NAME"), "r5");
  Add("r6", "", 6);
  ASSERT_TRUE(lib_.xb_Close());
  Use();
  EXPECT_EQ(lib_.xb_RecCount(), 6);
  ASSERT_TRUE(lib_.xb_Go(6));
  EXPECT_EQ(lib_.xb_FieldText("NAME"), "r6");
  ASSERT_TRUE(lib_.xb_Close());
  // A header that claims more than the file holds is corrected downwards.
  bytes = testing::ReadText(path_);
  bytes[4] = 50;
  testing::WriteText(path_, bytes);
  Use();
  EXPECT_EQ(lib_.xb_RecCount(), 6);
}

TEST_F(EngineTest, DamagedFilesGiveClearErrors) {
  CreateTable();
  Use();
  Add("one", "", 1, "memo text");
  ASSERT_TRUE(lib_.xb_IndexTag("", "NAMES", "NAME", 0, false, ""));
  ASSERT_TRUE(lib_.xb_Close());
  const std::string good = testing::ReadText(path_);

  testing::WriteText(path_, good.substr(0, 20));
  EXPECT_EQ(lib_.xb_Use(path_), 0);
  EXPECT_NE(lib_.LastError().find("damaged"), std::string::npos) << lib_.LastError();

  std::string bad = good;
  bad[32 + 11] = 'Q';  // an unknown field type
  testing::WriteText(path_, bad);
  EXPECT_EQ(lib_.xb_Use(path_), 0);
  EXPECT_NE(lib_.LastError().find("unsupported type"), std::string::npos) << lib_.LastError();

  testing::WriteText(path_, good);
  const std::string memo = dir_.File("T.FPT");
  testing::WriteText(memo, testing::ReadText(memo).substr(0, 520));
  Use();
  ASSERT_TRUE(lib_.xb_Go(1));
  EXPECT_EQ(lib_.xb_FieldText("TEXT"), "");
  EXPECT_NE(lib_.LastError().find("memo"), std::string::npos) << lib_.LastError();
  ASSERT_TRUE(lib_.xb_Close());

  // A truncated index is detected; the table still opens.
  const std::string cdx = dir_.File("T.CDX");
  testing::WriteText(cdx, testing::ReadText(cdx).substr(0, 1000));
  Use();
  EXPECT_TRUE(lib_.xb_IndexDamaged());
  EXPECT_EQ(lib_.xb_TagCount(), 0);
  EXPECT_EQ(lib_.xb_RecCount(), 1);
}

TEST_F(EngineTest, PackCompactsTheMemoFileAndACutOffPackCompletesAtOpen) {
  CreateTable();
  Use();
  for (int i = 1; i <= 30; ++i) Add("r" + std::to_string(i), "", i, "memo " + std::to_string(i) + std::string(500, '.'));
  // Replaced texts leave their old blocks behind until a pack.
  for (int i = 1; i <= 30; i += 2) {
    ASSERT_TRUE(lib_.xb_Go(i));
    ASSERT_TRUE(lib_.xb_Replace("TEXT", "longer memo " + std::to_string(i) + std::string(900, '!')));
    ASSERT_TRUE(lib_.xb_Commit());
  }
  for (int i = 3; i <= 30; i += 3) {
    ASSERT_TRUE(lib_.xb_Go(i));
    ASSERT_TRUE(lib_.xb_Delete());
  }
  const std::string memo = dir_.File("T.FPT");
  const auto before = testing::ReadText(memo).size();
  const std::string table = testing::ReadText(path_);
  const std::string memoBefore = testing::ReadText(memo);
  ASSERT_TRUE(lib_.xb_Pack()) << lib_.LastError();
  EXPECT_LT(testing::ReadText(memo).size(), before / 2);
  EXPECT_EQ(lib_.xb_RecCount(), 20);
  const auto check = [&] {
    int n = 0;
    for (int i = 1; i <= 30; ++i) {
      if (i % 3 == 0) continue;
      ASSERT_TRUE(lib_.xb_Go(++n));
      EXPECT_EQ(lib_.xb_FieldText("NAME"), "r" + std::to_string(i));
      EXPECT_EQ(lib_.xb_FieldText("TEXT"), i % 2 ? "longer memo " + std::to_string(i) + std::string(900, '!')
                                                 : "memo " + std::to_string(i) + std::string(500, '.'));
    }
  };
  check();
  ASSERT_TRUE(lib_.xb_Close());
  // A pack cut off after its marker: the new files lie beside the old ones.
  const std::string packedTable = testing::ReadText(path_), packedMemo = testing::ReadText(memo);
  testing::WriteText(path_, table);
  testing::WriteText(memo, memoBefore);
  testing::WriteText(path_ + ".pack", packedTable);
  testing::WriteText(memo + ".pack", packedMemo);
  testing::WriteText(path_ + ".packed", "");
  Use();
  EXPECT_EQ(lib_.xb_RecCount(), 20);
  check();
  ASSERT_TRUE(lib_.xb_Close());
  EXPECT_FALSE(FileExists(path_ + ".packed"));
  // Cut off before the marker: the old table stays and the leftovers go.
  testing::WriteText(path_ + ".pack", table);
  testing::WriteText(memo + ".pack", memoBefore);
  Use();
  EXPECT_EQ(lib_.xb_RecCount(), 20);
  EXPECT_FALSE(FileExists(path_ + ".pack"));
  EXPECT_FALSE(FileExists(memo + ".pack"));
}

TEST_F(EngineTest, AFullDiskRefusesThePostAndLosesNothing) {
  CreateTable();
  Use();
  ASSERT_TRUE(lib_.xb_IndexTag("", "NAMES", "UPPER(NAME)", 0, false, ".not. deleted()"));
  for (int i = 1; i <= 20; ++i) Add("r" + std::to_string(i), "20240101", i, "memo " + std::to_string(i));
  ASSERT_TRUE(lib_.xb_Close());
  // The child writes under a file size limit until a write is refused.
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = testing::ReadText(path_).size() + 300;
    setrlimit(RLIMIT_FSIZE, &limit);
    XbLibrary lib;
    if (!lib.xb_Use(path_)) _exit(10);
    for (int i = 21; i < 100; ++i) {
      if (!lib.xb_AppendBlank() || !lib.xb_Replace("NAME", "r" + std::to_string(i))) _exit(11);
      if (!lib.xb_Replace("TEXT", std::string(100, 'm')) || !lib.xb_Commit()) {
        // Refused with the system's reason, and the table still works.
        const bool clear = lib.LastError().find("File too large") != std::string::npos;
        _exit(clear && lib.xb_GoTop() ? 0 : 12);
      }
    }
    _exit(13);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  Use();
  const long count = lib_.xb_RecCount();
  EXPECT_GE(count, 20);
  for (long r = 1; r <= count; ++r) {
    ASSERT_TRUE(lib_.xb_Go(r));
    EXPECT_EQ(lib_.xb_FieldText("NAME"), "r" + std::to_string(r));
    if (r <= 20) {
      EXPECT_EQ(lib_.xb_FieldText("TEXT"), "memo " + std::to_string(r));
    }
  }
  Verify();
}

TEST_F(EngineTest, ManyRecordsKeepTheTreeSound) {
  CreateTable();
  Use();
  ASSERT_TRUE(lib_.xb_IndexTag("", "NAMES", "UPPER(NAME)", 0, false, ".not. deleted()"));
  ASSERT_TRUE(lib_.xb_IndexTag("", "NEWEST", "DTOS(WHEN)+NAME", 0, true, ".not. deleted()"));
  std::mt19937 rng(42);
  std::vector<std::string> names;
  for (int i = 0; i < 3000; ++i) {
    const std::string name = "k" + std::to_string(rng() % 100000);
    names.push_back(name);
    char date[16];
    std::snprintf(date, sizeof date, "2024%02d%02d", 1 + int(rng() % 12), 1 + int(rng() % 28));
    Add(name, date, i);
  }
  Verify();
  // Delete a third, change a third.
  for (int i = 1; i <= 3000; i += 3) {
    ASSERT_TRUE(lib_.xb_Go(i));
    ASSERT_TRUE(lib_.xb_Delete());
    ASSERT_TRUE(lib_.xb_Go(i + 1));
    ASSERT_TRUE(lib_.xb_Replace("NAME", "m" + std::to_string(rng() % 1000)));
    ASSERT_TRUE(lib_.xb_Commit());
  }
  Verify();
  lib_.xb_SetDeleted(true);
  ASSERT_TRUE(lib_.xb_SetOrder(1));
  const auto forward = Names();
  EXPECT_EQ(forward.size(), 2000u);
  EXPECT_TRUE(std::is_sorted(forward.begin(), forward.end()));
  auto backward = NamesBackwards();
  std::reverse(backward.begin(), backward.end());
  EXPECT_EQ(backward, forward);
  ASSERT_TRUE(lib_.xb_Close());
  // Seeking on a freshly opened index (pages read straight from the file),
  // then moving on from the record found, in both directions of both tags.
  Use();
  lib_.xb_SetDeleted(true);
  ASSERT_TRUE(lib_.xb_SetOrder(1));
  for (std::size_t i = 0; i + 1 < forward.size(); i += 97) {
    std::string key = forward[i];
    for (auto& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_TRUE(lib_.xb_Seek(key)) << key;
    const std::size_t first = static_cast<std::size_t>(
        std::find(forward.begin(), forward.end(), forward[i]) - forward.begin());
    ASSERT_TRUE(lib_.xb_Skip(1));
    EXPECT_EQ(lib_.xb_FieldText("NAME"), forward[first + 1]) << key;
    ASSERT_TRUE(lib_.xb_Skip(-1));
    EXPECT_EQ(lib_.xb_FieldText("NAME"), forward[first]) << key;
  }
  ASSERT_TRUE(lib_.xb_SetOrder(2));
  std::vector<long> newest;
  for (lib_.xb_GoTop(); !lib_.xb_Eof(); lib_.xb_Skip(1)) newest.push_back(lib_.xb_RecNo());
  ASSERT_EQ(newest.size(), 2000u);
  ASSERT_TRUE(lib_.xb_Close());
  Use();
  lib_.xb_SetDeleted(true);
  ASSERT_TRUE(lib_.xb_SetOrder(2));
  ASSERT_TRUE(lib_.xb_Go(500));
  const std::string date = lib_.xb_FieldText("WHEN");
  ASSERT_TRUE(lib_.xb_Seek(date));
  // The first record of that date in the tag's (descending) order.
  const auto at = std::find(newest.begin(), newest.end(), lib_.xb_RecNo());
  ASSERT_NE(at, newest.end());
  if (at != newest.begin()) {
    ASSERT_TRUE(lib_.xb_Go(*(at - 1)));
    EXPECT_NE(lib_.xb_FieldText("WHEN"), date);
    ASSERT_TRUE(lib_.xb_Seek(date));
  }
  ASSERT_TRUE(lib_.xb_Skip(1));
  EXPECT_EQ(lib_.xb_RecNo(), *(at + 1));
  Verify();
  ASSERT_TRUE(lib_.xb_Reindex());
  Verify();
}

}  // namespace
}  // namespace tlm
