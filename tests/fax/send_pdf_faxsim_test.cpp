// A PDF file as the document of a fax: tlmfax send converts it on the way
// and the remote machine on faxsim's line receives its pages, row for row
// as the converter renders them, and nothing is left in the temporary folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "fax/send_rig.h"
#include "faximage/fax_converter.h"
#include "faximage/fax_unpack_engine.h"
#include "faxsim/faxsim_runner.h"

namespace tlm::testing {
namespace {

constexpr int kBlankLinesBefore = 8;

TEST(SendPdf, LetterArrivesWithItsPages) {
  SendRig rig(":class=2.0", {"--remote-receiver", "200:RX"}, 10);
  ASSERT_TRUE(rig.Ready());
  const std::string pdf = std::string(TOLMERA_FIXTURES_DIR) + "/pdf/letter-libreoffice.pdf";
  const std::string tmp = rig.Dir().File("tmp");
  std::filesystem::create_directories(tmp);
  const std::string out = rig.Dir().File("send.txt");
  const int rc = faxsim::testing::run("TMPDIR=" + tmp + " " + std::string(TLMFAX_BINARY) + " send --fine --port " +
                                          rig.Dir().File("modem") + " --class 2.0 200 " + pdf + " > " + out + " 2>&1",
                                      120);
  EXPECT_EQ(rc, 0) << ReadText(out);
  EXPECT_NE(ReadText(out).find("result: 0 sent to \"200\", 2 pages"), std::string::npos) << ReadText(out);
  EXPECT_TRUE(std::filesystem::is_empty(tmp));

  // The pages as the converter makes them from the PDF.
  TKvFaxConverter converter;
  converter.InputDocumentType = idPdf;
  converter.Resolution = frHigh;
  converter.SetDocumentFile(pdf);
  converter.OutFileName = rig.Dir().File("expected.apf");
  converter.ConvertToApf();
  const std::vector<faxsim::Bitmap> got = rig.Received("200", 1, 3);
  ASSERT_EQ(got.size(), 2u);
  for (int n = 1; n <= 2; ++n) {
    faxsim::Bitmap expected;
    expected.fine = true;
    UnpackApfPage(converter.OutputPath(), n, {}, {}, [&](const std::uint8_t* line, int bytes) {
      expected.height++;
      expected.bits.insert(expected.bits.end(), line, line + std::min(bytes, expected.stride()));
    });
    const faxsim::Bitmap& r = got[std::size_t(n - 1)];
    EXPECT_EQ(faxsim::testing::field(rig.Sim().waitFor({"page", "n=" + std::to_string(n) + " "}, 10), "res"), "fine");
    ASSERT_EQ(r.width, 1728);
    ASSERT_EQ(r.height, expected.height + kBlankLinesBefore) << "page " << n;
    EXPECT_TRUE(faxsim::testing::sameRows(r, kBlankLinesBefore, expected, expected.height)) << "page " << n;
    EXPECT_GT(std::count_if(r.bits.begin(), r.bits.end(), [](std::uint8_t b) { return b != 0; }), 1000);
  }
}

}  // namespace
}  // namespace tlm::testing
