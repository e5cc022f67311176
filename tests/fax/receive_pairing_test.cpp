// The program's own sender calls its own receiver through the simulated
// line in every pairing of classes; the pages must arrive as sent. The
// simulator runs only 4 times faster here: the sessions' fixed pauses must
// stay inside the remote modem's T.30 timers.
#include <gtest/gtest.h>

#include <cstdlib>

#include "fax/send_fax.h"
#include "faximage/apf_writer.h"
#include "faximage/t4_encoder.h"
#include "receive_rig.h"

namespace tlm::testing {
namespace {

using faxsim::Bitmap;
using faxsim::testing::FaxsimProcess;

TFaxClass ClassOf(const std::string& c) { return c == "1" ? fcClass1 : c == "2" ? fcClass2 : fcClass2_0; }

// Writes the pages as an APF file of line records.
void WriteApf(const std::string& path, const std::vector<Bitmap>& pages) {
  ApfWriter writer;
  writer.Create(path);
  std::uint8_t record[kT4MaxLineRecord];
  for (const Bitmap& page : pages) {
    writer.BeginPage(kApfLengthWords | (page.fine ? kApfFine : 0));
    for (int y = 0; y < page.height; ++y) {
      const std::size_t n = T4EncodeLine(&page.bits[std::size_t(y) * std::size_t(page.stride())],
                                         std::size_t(page.stride()), T4LineGeometry{}, record);
      writer.WriteRecord(record, n);
    }
    writer.WriteRecord(kT4EndOfPageRecord.data(), kT4EndOfPageRecord.size());
    writer.EndPage();
  }
  writer.Finish("TOLMERA TX");
}

class OwnSenderToOwnReceiver : public ::testing::TestWithParam<std::tuple<std::string, std::string>> {};

TEST_P(OwnSenderToOwnReceiver, PagesArriveAsSent) {
  const auto& [from, to] = GetParam();
  ReceiveRig rig;
  const std::vector<Bitmap> pages = {TestPage(1, 400), TestPage(2, 400)};
  const std::string apf = rig.Path("out.apf");
  WriteApf(apf, pages);
  std::vector<std::string> args = {"--modem", rig.Path("modemA") + "=100:class=" + from, "--modem",
                                   rig.Path("modemB") + "=200:class=" + to, "--speed", "accelerated", "--accel",
                                   "4", "--ring-interval", "1"};
  if (std::getenv("FAXSIM_TRACE")) args.push_back("--trace");
  FaxsimProcess sim(rig.dir.Folder(), args);
  ASSERT_TRUE(sim.started());

  rig.fax.SetFaxClass(ClassOf(to));
  rig.fax.SetStationID("TOLMERA RX");
  rig.port.SetDeviceName(rig.Path("modemB"));
  ASSERT_EQ(rig.fax.StartReceive(), 0);
  rig.Pump(5, [&] { return rig.fax.ReceiveState() == rfWaiting; });
  ASSERT_EQ(rig.fax.ReceiveState(), rfWaiting);

  TKvComPort sendPort;
  sendPort.SetMainThreadBridge(&rig.bridge);
  sendPort.SetDeviceName(rig.Path("modemA"));
  TKvSendFax send;
  send.SetComPort(&sendPort);
  send.SetFaxClass(ClassOf(from));
  send.SetStationID("TOLMERA TX");
  send.PhoneNumber = "200";
  send.SetFaxFile(apf);
  int sendFinish = INT_MIN;
  send.OnFaxFinish = [&](TKvCustomAbstractFax&, int error) { sendFinish = error; };
  ASSERT_EQ(send.StartTransmit(), 0);
  rig.Pump(90, [&] { return rig.finish != INT_MIN && sendFinish != INT_MIN; });
  EXPECT_EQ(rig.finish, 0);
  // A Class 2 receiving modem drops the line as soon as the DCN arrives, so a
  // Class 1 sender may see NO CARRIER instead of OK for its DCN.
  EXPECT_EQ(sendFinish, 0);
  ASSERT_EQ(rig.files.size(), 1u);
  const std::vector<Bitmap> got = ReadPages(rig.files[0]);
  ASSERT_EQ(got.size(), pages.size());
  for (std::size_t i = 0; i < pages.size(); ++i) {
    // The sender may put blank lines above the page; the page follows whole.
    ASSERT_GE(got[i].height, pages[i].height) << "page " << i + 1;
    EXPECT_LE(got[i].height, pages[i].height + 16) << "page " << i + 1;
    EXPECT_TRUE(faxsim::testing::sameRows(got[i], got[i].height - pages[i].height, pages[i], pages[i].height))
        << "page " << i + 1;
  }
  sendPort.SetOpen(false);
}

INSTANTIATE_TEST_SUITE_P(Classes, OwnSenderToOwnReceiver,
                         ::testing::Combine(::testing::Values("1", "2", "2.0"), ::testing::Values("1", "2", "2.0")),
                         [](const auto& info) {
                           std::string n = "From" + std::get<0>(info.param) + "To" + std::get<1>(info.param);
                           for (char& c : n) {
                             if (c == '.') c = '_';
                           }
                           return n;
                         });

}  // namespace
}  // namespace tlm::testing
