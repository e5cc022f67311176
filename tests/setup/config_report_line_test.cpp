// The configuration report on a machine whose COM1 is a simulated fax
// modem: the modem section shows its identification replies.
#include <gtest/gtest.h>

#include <QPlainTextEdit>

#include "faxsim_runner.h"
#include "gui_test_support.h"
#include "platform/profile_file.h"
#include "setup/config_report.h"
#include "setup/config_report_window.h"

namespace tlm {
namespace {

TEST(ConfigReportLine, TheModemOnCom1IdentifiesItself) {
  testing::App();
  testing::DataFolderScope data;
  const std::string modem = data.dir.File("modem");
  faxsim::testing::FaxsimProcess line(data.dir.Folder(), {"--modem", modem + "=100:class=1,2"});
  ASSERT_TRUE(line.started());
  {
    ProfileFile ini(data.dir.File("TLM.INI"));
    ini.WriteString("Ports", "COM1", modem);
    ini.Save();
  }
  Settings settings;
  settings.comPort = 0;
  const QStringList report = CollectConfigReport(settings);
  const qsizetype section = report.indexOf("[Modem on COM1 (" + QString::fromStdString(modem) + ")]");
  ASSERT_GE(section, 0) << report.join('\n').toStdString();
  const QStringList replies = report.mid(section + 2, 7);
  EXPECT_EQ(replies, (QStringList{
                         "ATI0:                 \t33600",
                         "ATI3:                 \tEmulated fax modem",
                         "ATI4:                 \tFaxsim",
                         "AT+GMI:               \tFaxsim",
                         "AT+GMM:               \tEmulated fax modem",
                         "AT+GMR:               \t1.0",
                         "AT+FCLASS=?:          \t0,1,2",
                     }))
      << report.join('\n').toStdString();
  EXPECT_TRUE(report.contains("COM1=" + QString::fromStdString(modem)));
  // The modem heard the questions, and the port was closed again.
  EXPECT_FALSE(line.waitFor({"EVENT command", "text=ATI3"}, 5).empty());
  EXPECT_FALSE(line.waitFor({"EVENT port", "state=closed"}, 5).empty());
}

}  // namespace
}  // namespace tlm
