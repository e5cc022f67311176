// A received fax file read by independent decoders: each page's stored
// stream goes to netpbm's g3topbm and, wrapped as a Group 3 TIFF, to
// libtiff; both must give back exactly the page the remote machine sent.
#include <gtest/gtest.h>

#include "faximage/apf_file.h"
#include "faximage/binary_file.h"
#include "receive_rig.h"
#include "tiff_pages.h"

namespace tlm::testing {
namespace {

using faxsim::Bitmap;
using faxsim::testing::FaxsimProcess;

// The stored stream of page `n` of an APF file.
std::vector<std::uint8_t> PageStream(const std::string& apf, int n, ApfPageHeader& header) {
  std::uint64_t offset = 0;
  std::vector<std::uint8_t> bytes;
  if (ApfLocatePage(apf, n, header, offset) != 0 || ReadFileBytes(apf, bytes, 1 << 24, -1) != 0) return {};
  return std::vector<std::uint8_t>(bytes.begin() + long(offset), bytes.begin() + long(offset + header.imageLength));
}

class ReceivedFileDecodesWithPeers : public ::testing::TestWithParam<std::string> {};

// Two standard pages, then two fine ones: the change of resolution comes
// with EOM, so the call gives two files of two pages each.
TEST_P(ReceivedFileDecodesWithPeers, G3topbmAndLibtiffGiveTheSentPages) {
  const std::string& faxClass = GetParam();
  ReceiveRig rig;
  std::vector<Bitmap> sent = {TestPage(1, 500), TestPage(2, 400), TestPage(3, 1400), TestPage(4, 1350)};
  std::string files;
  for (std::size_t i = 0; i < sent.size(); ++i) {
    const std::string pbm = rig.Path("sent" + std::to_string(i + 1) + ".pbm");
    ASSERT_EQ(faxsim::writePbm(pbm, sent[i]), "");
    files += (files.empty() ? "" : ",") + pbm;
  }
  const std::string modem = rig.Path("modem");
  FaxsimProcess sim(rig.dir.Folder(), {"--modem", modem + "=100:class=" + faxClass, "--remote-sender",
                                       "777:" + files + ":100:delay=1:rate=9600", "--speed", "accelerated",
                                       "--accel", "10", "--ring-interval", "1"});
  ASSERT_TRUE(sim.started());
  rig.fax.SetFaxClass(faxClass == "1" ? fcClass1 : fcClass2);
  rig.fax.OneFax = false;
  rig.port.SetDeviceName(modem);
  ASSERT_EQ(rig.fax.StartReceive(), 0);
  rig.Pump(90, [&] { return rig.files.size() == 2; });
  ASSERT_EQ(rig.files.size(), 2u);

  std::size_t index = 0;
  for (const std::string& file : rig.files) {
    int count = 0;
    ASSERT_EQ(ApfCountPages(file, count), 0);
    ASSERT_EQ(count, 2);
    for (int n = 1; n <= count; ++n, ++index) {
      const Bitmap& want = sent[index];
      ApfPageHeader header;
      const std::vector<std::uint8_t> stream = PageStream(file, n, header);
      ASSERT_FALSE(stream.empty()) << "page " << index + 1;
      EXPECT_EQ(header.Fine(), want.fine) << "page " << index + 1;

      // netpbm: the stream as a raw G3 file, least significant bit first.
      const std::string g3 = rig.Path("page.g3"), pbm = rig.Path("g3topbm.pbm");
      WriteFile(g3, stream);
      ASSERT_EQ(RunShell("g3topbm -reversebits " + g3 + " > " + pbm + " 2>/dev/null"), 0) << "page " << index + 1;
      Bitmap netpbm;
      ASSERT_EQ(faxsim::readPbm(pbm, netpbm), "");
      EXPECT_EQ(netpbm.width, want.width) << "page " << index + 1;
      EXPECT_EQ(netpbm.height, want.height) << "page " << index + 1;
      EXPECT_TRUE(netpbm.bits == want.bits) << "g3topbm, page " << index + 1;

      // libtiff: the stream as the strip of a Group 3 TIFF.
      const std::string tif = rig.Path("page.tif");
      ASSERT_TRUE(WriteG3Tiff(tif, stream, want.width, want.height));
      const Page tiff = ReadTiffPage(tif);
      EXPECT_EQ(tiff.width, want.width) << "page " << index + 1;
      EXPECT_EQ(tiff.height, want.height) << "page " << index + 1;
      EXPECT_TRUE(tiff.bits == want.bits) << "libtiff, page " << index + 1;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Classes, ReceivedFileDecodesWithPeers, ::testing::Values("1", "2"),
                         [](const auto& info) { return "Class" + info.param; });

}  // namespace
}  // namespace tlm::testing
