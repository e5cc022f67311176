// Printing through a real CUPS scheduler: a private cupsd (its own
// configuration folder and socket, CUPS_SERVER pointing at it, nothing else
// of the machine touched) with two queues whose devices are files. The fax
// printer, the viewer window and tlmfax print must each put a job's pages
// into the file of the queue they name; an unknown name prints on the
// current printer.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <filesystem>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "gui_test_support.h"
#include "modal_driver.h"
#include "support/temp_dir.h"
#include "viewer/fax_printer.h"
#include "viewer/fax_viewer_window.h"
#include "viewer/pre_print_form.h"
#include "viewer_fixtures.h"

extern char** environ;

namespace tlm {
namespace {

using namespace tlm::testing;

// The scheduler for the whole test program: started before anything asks
// CUPS for printers (libcups keeps the server it first used).
class PrivateCups : public ::testing::Environment {
 public:
  static PrivateCups* instance;
  bool ready = false;
  std::string why;
  TempDir dir;

  std::string Folder() const { return dir.Folder(); }
  std::string Output(const std::string& queue) const { return dir.Folder() + "out/" + queue + ".prn"; }

  void SetUp() override {
    if (!std::filesystem::exists("/usr/sbin/cupsd") || !std::filesystem::exists("/usr/sbin/lpadmin")) {
      why = "cupsd or lpadmin is not installed";
      return;
    }
    const std::string d = dir.Folder();
    for (const char* sub : {"spool", "tmp", "cache", "state", "out"}) std::filesystem::create_directories(d + sub);
    ::chmod((d + "out").c_str(), 0777);  // jobs run as the scheduler's user
    socket_ = d + "cups.sock";
    WriteText(d + "cupsd.conf", "Listen " + socket_ +
                                    "\nLogLevel info\nWebInterface No\n<Location />\n  Order allow,deny\n  Allow all\n"
                                    "</Location>\n<Policy default>\n  <Limit All>\n    Order allow,deny\n"
                                    "    Allow all\n  </Limit>\n</Policy>\n");
    WriteText(d + "cups-files.conf", "FileDevice Yes\nServerRoot " + d + "\nRequestRoot " + d + "spool\nTempDir " + d +
                                         "tmp\nCacheDir " + d + "cache\nStateDir " + d + "state\nAccessLog " + d +
                                         "access_log\nErrorLog " + d + "error_log\nPageLog " + d + "page_log\n");
    const std::string conf = d + "cupsd.conf", files = d + "cups-files.conf";
    const char* argv[] = {"cupsd", "-f", "-c", conf.c_str(), "-s", files.c_str(), nullptr};
    if (posix_spawn(&pid_, "/usr/sbin/cupsd", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
      why = "cupsd did not start";
      return;
    }
    if (!WaitFor([&] { return std::filesystem::exists(socket_); })) {
      why = "cupsd made no socket";
      return;
    }
    ::setenv("CUPS_SERVER", socket_.c_str(), 1);
    // A queue that takes PDF as it is: its one filter only passes it on.
    WriteText(d + "file.ppd",
              "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n*LanguageVersion: English\n"
              "*LanguageEncoding: ISOLatin1\n*PCFileName: \"FILE.PPD\"\n*Manufacturer: \"Tolmera\"\n"
              "*Product: \"(File printer)\"\n*ModelName: \"File printer\"\n*ShortNickName: \"File printer\"\n"
              "*NickName: \"File printer\"\n*PSVersion: \"(3010.000) 0\"\n*LanguageLevel: \"3\"\n"
              "*ColorDevice: False\n*DefaultColorSpace: Gray\n*FileSystem: False\n*Throughput: \"1\"\n"
              "*cupsFilter: \"application/pdf 0 gziptoany\"\n*OpenUI *PageSize/Media Size: PickOne\n"
              "*DefaultPageSize: Letter\n*PageSize Letter/Letter: \"<</PageSize[612 792]>>setpagedevice\"\n"
              "*CloseUI: *PageSize\n*DefaultImageableArea: Letter\n*ImageableArea Letter/Letter: \"18 36 594 756\"\n"
              "*DefaultPaperDimension: Letter\n*PaperDimension Letter/Letter: \"612 792\"\n");
    for (const std::string& queue : {std::string("faxq"), std::string("other"), std::string("gone")}) {
      if (RunShell("lpadmin -p " + queue + " -v file://" + Output(queue) + " -P " + d + "file.ppd -E 2>/dev/null") != 0) {
        why = "lpadmin could not add " + queue;
        return;
      }
    }
    ready = RunShell("lpadmin -d faxq") == 0;
  }

  void TearDown() override {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
  }

  static bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
    for (int waited = 0; waited < ms; waited += 50) {
      if (done()) return true;
      ::usleep(50 * 1000);
    }
    return done();
  }

 private:
  pid_t pid_ = -1;
  std::string socket_;
};

PrivateCups* PrivateCups::instance =
    static_cast<PrivateCups*>(::testing::AddGlobalTestEnvironment(new PrivateCups));

class CupsPrinting : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PrivateCups::instance->ready) GTEST_SKIP() << PrivateCups::instance->why;
    App();
    WriteNumberedFax(data.dir.File("fax.apf"), 3, 600);
    for (const char* queue : {"faxq", "other"}) std::filesystem::remove(Cups().Output(queue));
  }
  PrivateCups& Cups() { return *PrivateCups::instance; }
  // The job that reached a queue's file: its page count once it is whole.
  int PagesPrintedOn(const std::string& queue) {
    const std::string out = Cups().Output(queue);
    const bool arrived = PrivateCups::WaitFor([&] {
      return std::filesystem::exists(out) && RunShell("pdfinfo " + out + " > /dev/null 2>&1") == 0;
    });
    if (!arrived) return -1;
    EXPECT_EQ(RunShell("pdfinfo " + out + " | grep '^Pages:' > " + data.dir.File("pages.txt")), 0);
    return std::atoi(ReadText(data.dir.File("pages.txt")).c_str() + 6);
  }
  DataFolderScope data;
};

TEST_F(CupsPrinting, ThePrinterByNameAsPrintOnReceiptUsesIt) {
  TKvFaxPrinter printer;
  EXPECT_EQ(printer.PrinterName(), "faxq");  // the current printer
  ASSERT_TRUE(printer.SelectPrinter("other"));
  printer.FaxHeader.Enabled = false;
  printer.FaxFooter.Enabled = false;
  printer.SetFileName(data.dir.File("fax.apf"));
  ASSERT_TRUE(printer.Print()) << printer.LastError().toStdString();
  EXPECT_EQ(PagesPrintedOn("other"), 3);
  EXPECT_FALSE(std::filesystem::exists(Cups().Output("faxq")));
  const std::string text = data.dir.File("job.txt");
  ASSERT_EQ(RunShell("pdftotext " + Cups().Output("other") + " " + text), 0);
  EXPECT_EQ(ReadText(text).find("Page:"), std::string::npos);  // no footer
  // The next fax goes to the same printer.
  std::filesystem::remove(Cups().Output("other"));
  printer.SetFileName(data.dir.File("fax.apf"));
  printer.SetRange(3, 3);
  ASSERT_TRUE(printer.Print()) << printer.LastError().toStdString();
  EXPECT_EQ(PagesPrintedOn("other"), 1);
  EXPECT_EQ(printer.PrinterName(), "other");

  // An unknown name keeps the current printer.
  TKvFaxPrinter fallback;
  EXPECT_FALSE(fallback.SelectPrinter("no such printer"));
  fallback.SetFileName(data.dir.File("fax.apf"));
  fallback.SetRange(2, 3);
  ASSERT_TRUE(fallback.Print()) << fallback.LastError().toStdString();
  EXPECT_EQ(PagesPrintedOn("faxq"), 2);
}

TEST_F(CupsPrinting, APrinterThatVanishesFailsTheJobAndTheLogSaysSo) {
  TKvFaxPrinter printer;
  TKvFaxPrinterLog log;
  printer.FaxPrinterLog = &log;
  ASSERT_TRUE(printer.SelectPrinter("gone"));
  printer.SetFileName(data.dir.File("fax.apf"));
  printer.OnNextPage = [](TKvFaxPrinter&, int page, int) {
    if (page == 2) RunShell("lpadmin -x gone");  // removed while the pages are drawn
  };
  EXPECT_FALSE(printer.Print());
  EXPECT_TRUE(printer.LastError().contains("gone")) << printer.LastError().toStdString();
  const std::string entries = ReadText(data.dir.File("FAXPRINT.LOG"));
  EXPECT_NE(entries.find(" started at "), std::string::npos);
  EXPECT_NE(entries.find(" failed at "), std::string::npos);
  EXPECT_EQ(entries.find(" finished at "), std::string::npos);
  EXPECT_FALSE(printer.Printing());
}

TEST_F(CupsPrinting, TheViewerWindowAndTlmfaxPrintOnTheNamedQueue) {
  ModalDriver driver;
  TFaxViewer window;
  window.Open(QString::fromStdString(data.dir.File("fax.apf")), QStringLiteral("From: ACME"));
  window.show();
  ASSERT_TRUE(WaitUntil([&] { return window.StatusPanel->text() == QLatin1String("Page 1 of 3"); }));
  ASSERT_TRUE(window.FaxPrinter.SelectPrinter("other"));
  driver.Then([](QWidget* w) {
    auto* form = qobject_cast<TPrePrintForm*>(w);
    ASSERT_NE(form, nullptr);
    form->FromPage->setValue(2);
    form->OkButton->click();
  });
  window.Printbutton->click();
  EXPECT_EQ(PagesPrintedOn("other"), 2);
  EXPECT_TRUE(driver.unexpected.empty());

  const std::string tlmfax = TLMFAX_PROGRAM;
  ASSERT_EQ(RunShell(tlmfax + " print --printer faxq --no-header " + data.dir.File("fax.apf") + " 2>/dev/null"), 0);
  EXPECT_EQ(PagesPrintedOn("faxq"), 3);
  std::filesystem::remove(Cups().Output("faxq"));
  ASSERT_EQ(RunShell(tlmfax + " print --printer missing --pages 1-1 " + data.dir.File("fax.apf") + " 2>/dev/null"), 0);
  EXPECT_EQ(PagesPrintedOn("faxq"), 1);
}

}  // namespace
}  // namespace tlm
