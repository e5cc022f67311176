// tlmfax driven as a user would: its output, its files, its errors.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "faximage/fax_unpack_engine.h"
#include "storage/log_tables.h"
#include "storage/xb_components.h"
#include "support/temp_dir.h"
#include "../faximage/fax_test_util.h"

namespace tlm::testing {
namespace {

struct Result {
  int status = -1;
  std::string out;
};

Result Tool(const std::string& args) {
  Result r;
  const std::string command = std::string(TLMFAX_PATH) + " " + args + " 2>&1";
  FILE* p = ::popen(command.c_str(), "r");
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int rc = ::pclose(p);
  r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return r;
}

TEST(Tlmfax, ConvertsInfosAndUnpacksAFixture) {
  TempDir dir;
  const std::string apf = dir.File("page.apf");
  Result r = Tool("convert --fine " + ImageFixture("text-page-packbits.tif") + " " + apf);
  ASSERT_EQ(r.status, 0) << r.out;
  r = Tool("info " + apf);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("pages:       1"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("page 1: offset 80, "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("fine, 1728 pixels, line records"), std::string::npos) << r.out;

  r = Tool("unpack " + apf + " --page 1 --format pbm " + dir.File("page.pbm"));
  ASSERT_EQ(r.status, 0) << r.out;
  const Page source = ReadPbm(ImageFixture("text-page.pbm"));
  const Page unpacked = ReadPbm(dir.File("page.pbm"));
  ASSERT_EQ(unpacked.height, source.height);
  // The converter's left margin of 50 pixels shifts the page.
  for (int y = 0; y < source.height; y += 97) {
    for (int x = 0; x + 50 < unpacked.width && x < source.width; ++x) {
      ASSERT_EQ(unpacked.Black(x + 50, y), source.Black(x, y)) << x << "," << y;
    }
  }
  for (const char* format : {"bmp", "pcx", "dcx"}) {
    const std::string out = dir.File(std::string("page.") + format);
    r = Tool("unpack " + apf + " --page 1 --format " + format + " " + out);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_GT(std::filesystem::file_size(out), 1000u) << format;
  }
}

TEST(Tlmfax, ConvertsTextAndPicksTheTypeByExtension) {
  TempDir dir;
  WriteFile(dir.File("note.txt"), "Hello\fWorld\n");
  ASSERT_EQ(Tool("convert --wide " + dir.File("note.txt") + " " + dir.File("note.apf")).status, 0);
  const Result r = Tool("info " + dir.File("note.apf"));
  EXPECT_NE(r.out.find("pages:       2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("standard, 2048 pixels"), std::string::npos) << r.out;
  ASSERT_EQ(Tool("convert " + ImageFixture("text-pages.dcx") + " " + dir.File("d.apf")).status, 0);
  EXPECT_NE(Tool("info " + dir.File("d.apf")).out.find("pages:       2"), std::string::npos);
}

TEST(Tlmfax, OutlineFontTextNeedsQt) {
  TempDir dir;
  WriteFile(dir.File("note.txt"), "Outline text\n");
  const Result r = Tool("convert --type textex " + dir.File("note.txt") + " " + dir.File("note.apf"));
#ifdef TLMFAX_HAS_QT
  ASSERT_EQ(r.status, 0) << r.out;
  ASSERT_EQ(Tool("unpack " + dir.File("note.apf") + " --page 1 --format pbm " + dir.File("note.pbm")).status, 0);
  const Page page = ReadPbm(dir.File("note.pbm"));
  long ink = 0;
  for (std::uint8_t b : page.bits) ink += __builtin_popcount(b);
  EXPECT_GT(ink, 200);
  EXPECT_GT(page.height, 10);
#else
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("Initialization of fax converter failed"), std::string::npos) << r.out;
#endif
}

TEST(Tlmfax, ErrorsPrintTheirTextAndFail) {
  TempDir dir;
  Result r = Tool("convert " + ImageFixture("text-page-g3.tif") + " " + dir.File("g3.apf"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("Unsupported graphics file format"), std::string::npos) << r.out;
  EXPECT_FALSE(std::filesystem::exists(dir.File("g3.apf")));
  r = Tool("info " + ImageFixture("text-page.pcx"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("File is not an APF file"), std::string::npos) << r.out;
  WriteFile(dir.File("empty.apf"), BuildApf({}, 0));
  r = Tool("unpack " + dir.File("empty.apf") + " --page 1 --format bmp " + dir.File("x.bmp"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("File is not an APF file"), std::string::npos) << r.out;
  EXPECT_NE(Tool("frobnicate").status, 0);
  EXPECT_NE(Tool("convert --type gif a b").status, 0);
}

// "queue" adds a fax to a data folder's outgoing log, memo included; it
// refuses while the log is in use and without a text.
TEST(Tlmfax, QueueAddsAnOutgoingFax) {
  TempDir dir;
  WriteText(dir.File("doc.rtf"), "{\\rtf1\\ansi Hello\\par}");
  Result r = Tool("queue --dir " + dir.Folder() + " --to Ann --subject Hi --doc " + dir.File("doc.rtf") + " 5550100");
  ASSERT_EQ(r.status, 0) << r.out;
  {
    TXbTable table;
    TXbEngine engine(table);
    ASSERT_TRUE(OpenFaxDBF(table, engine, dir.Folder()));
    ASSERT_TRUE(table.First());
    EXPECT_EQ(table.AsString("RECIPIENT"), "Ann");
    EXPECT_EQ(table.AsString("SUBJECT"), "Hi");
    EXPECT_EQ(table.AsString("PHONE"), "5550100");
    ASSERT_TRUE(engine.BlobToFile("RTFDOC", dir.File("back.rtf")));
    EXPECT_EQ(ReadText(dir.File("back.rtf")), "{\\rtf1\\ansi Hello\\par}");
    // While the log is open here, a second writer is refused.
    r = Tool("queue --dir " + dir.Folder() + " --doc " + dir.File("doc.rtf") + " 5550101");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find("cannot open the outgoing log"), std::string::npos) << r.out;
  }
  EXPECT_NE(Tool("queue --dir " + dir.Folder() + " 5550100").status, 0);  // no text
  EXPECT_NE(Tool("queue --dir " + dir.Folder() + " --doc " + dir.File("missing.rtf") + " 5550100").status, 0);
}

}  // namespace
}  // namespace tlm::testing
