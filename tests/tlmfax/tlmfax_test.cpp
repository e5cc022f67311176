// tlmfax driven as a user would: its output, its files, its errors.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "faximage/apf_file.h"
#include "faximage/binary_file.h"
#include "faximage/fax_unpack_engine.h"
#include "storage/log_tables.h"
#include "storage/xb_components.h"
#include "support/temp_dir.h"
#include "../faximage/fax_test_util.h"
#include "../faximage/pdf_maker.h"

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
  // A PCX file cut off after its header: an error, and the older output
  // stays. Whole, the same file converts, also without an extension when
  // its type is given.
  std::vector<std::uint8_t> pcx(128, 0);
  pcx[0] = 10;
  pcx[2] = 1;
  pcx[3] = 1;
  PutLe16(&pcx[8], 79);
  PutLe16(&pcx[10], 9);
  pcx[65] = 1;
  PutLe16(&pcx[66], 10);
  WriteFile(dir.File("cut.pcx"), pcx);
  WriteFile(dir.File("out.apf"), std::string("older"));
  Result r = Tool("convert --type pcx " + dir.File("cut.pcx") + " " + dir.File("out.apf"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("Unsupported graphics file format (8002)"), std::string::npos) << r.out;
  EXPECT_EQ(ReadFile(dir.File("out.apf")), "older");
  for (int y = 0; y < 10; ++y) pcx.insert(pcx.end(), {0xCA, 0x00});
  WriteFile(dir.File("scan"), pcx);
  r = Tool("convert --type pcx " + dir.File("scan") + " " + dir.File("out.apf"));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(ApfCheckSignature(dir.File("out.apf")));
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

// Stopped while converting a long text, convert removes its partial file.
struct Interrupted {
  bool started = false;  // the file was being written when the signal went
  bool waited = false;   // the child's end was collected
  int status = 0;
};

// Waits up to `seconds` for a file named `prefix`... of over 100 kB below
// `folder`, sends `sig` to the child `pid` (also when none came) and
// collects its end.
Interrupted InterruptWhenWriting(pid_t pid, const std::string& folder, const std::string& prefix, int sig,
                                 int seconds) {
  auto writing = [&] {
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
      if (e.path().filename().string().rfind(prefix, 0) == 0 && e.file_size() > 100000) return true;
    }
    return false;
  };
  Interrupted r;
  for (int i = 0; i < seconds * 50 && !r.started; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    r.started = writing();
  }
  kill(pid, sig);
  r.waited = waitpid(pid, &r.status, 0) == pid;
  return r;
}

TEST(Tlmfax, AnInterruptedConversionLeavesNoFile) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "Line " + std::to_string(i) + " of a long text that goes on and on\n";
  WriteFile(dir.File("long.txt"), text);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    execl(TLMFAX_PATH, "tlmfax", "convert", dir.File("long.txt").c_str(), dir.File("long.APF").c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  const Interrupted stop = InterruptWhenWriting(pid, dir.Folder(), "long.APF.part", SIGTERM, 12);
  ASSERT_TRUE(stop.started);
  ASSERT_TRUE(stop.waited);
  EXPECT_TRUE(WIFEXITED(stop.status) && WEXITSTATUS(stop.status) != 0) << stop.status;
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(dir.Folder())) left.push_back(e.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"long.txt"});
}

std::string PdfFixture(const std::string& name) { return std::string(TOLMERA_FIXTURES_DIR) + "/pdf/" + name; }

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// PDF by its extension or --type, with a page range; refusals say why.
TEST(Tlmfax, ConvertsPdfPages) {
  TempDir dir;
  const std::string apf = dir.File("letter.apf");
  Result r = Tool("convert --fine --pages 2-2 " + PdfFixture("letter-libreoffice.pdf") + " " + apf);
  ASSERT_EQ(r.status, 0) << r.out;
  r = Tool("info " + apf);
  EXPECT_NE(r.out.find("pages:       1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("fine, 1728 pixels"), std::string::npos) << r.out;
  std::filesystem::copy_file(PdfFixture("letter-libreoffice.pdf"), dir.File("letter"));
  r = Tool("convert --type pdf " + dir.File("letter") + " " + apf);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(Tool("info " + apf).out.find("pages:       2\n"), std::string::npos);

  r = Tool("convert " + PdfFixture("password-protected.pdf") + " " + apf);
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("tlmfax: The PDF file is protected by a password (8002)"), std::string::npos) << r.out;
  r = Tool("convert --pages 2-5 " + PdfFixture("letter-libreoffice.pdf") + " " + apf);
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("has 2 pages, not pages 2-5"), std::string::npos) << r.out;
  r = Tool("convert --pages 1-2 " + ImageFixture("text-page.pcx") + " " + apf);
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("--pages needs a PDF file"), std::string::npos) << r.out;
  EXPECT_NE(Tool("convert --pages x " + PdfFixture("letter-libreoffice.pdf") + " " + apf).status, 0);
  EXPECT_EQ(FolderEntries(dir.Folder()), (std::vector<std::string>{"letter", "letter.apf"}));
}

// send converts a PDF on the way in a working folder of the temporary
// folder, which is gone afterwards whether the file, the port or the user
// stopped it.
TEST(Tlmfax, SendLeavesNoWorkingFilesBehind) {
  TempDir dir;
  const std::string tmp = dir.File("tmp");
  std::filesystem::create_directories(tmp);
  const std::string env = "TMPDIR=" + tmp + " ";
  const std::string command = std::string(TLMFAX_PATH) + " send --port " + dir.File("no-such-modem") + " 5550100 ";
  auto run = [&](const std::string& file) {
    Result r;
    FILE* p = ::popen((env + command + file + " 2>&1").c_str(), "r");
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int rc = ::pclose(p);
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return r;
  };
  Result r = run(PdfFixture("letter-libreoffice.pdf"));  // converted, then the port fails
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("cannot open"), std::string::npos) << r.out;
  EXPECT_TRUE(FolderEntries(tmp).empty());
  r = run(PdfFixture("password-protected.pdf"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("password-protected.pdf: The PDF file is protected by a password (8002)"), std::string::npos)
      << r.out;
  EXPECT_TRUE(FolderEntries(tmp).empty());

  // Interrupted while converting a long PDF.
  std::vector<PdfPageSpec> pages;
  for (int i = 0; i < 1000; ++i) pages.push_back({595, 842, TextPageContent(i + 1), 0});
  WriteFile(dir.File("long.pdf"), MakePdf(pages));
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setenv("TMPDIR", tmp.c_str(), 1);
    execl(TLMFAX_PATH, "tlmfax", "send", "--fine", "--port", dir.File("no-such-modem").c_str(), "5550100",
          dir.File("long.pdf").c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  const Interrupted stop = InterruptWhenWriting(pid, tmp, "DOCUMENT.APF.part", SIGINT, 30);
  ASSERT_TRUE(stop.started);
  ASSERT_TRUE(stop.waited);
  EXPECT_TRUE(WIFEXITED(stop.status) && WEXITSTATUS(stop.status) != 0) << stop.status;
  EXPECT_TRUE(FolderEntries(tmp).empty());
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
