// PDF pages rendered by the converter agree with poppler's own pdftoppm
// (-mono, same resolution) pixel for pixel, all but a few edge pixels.
#include <gtest/gtest.h>

#include "fax_test_util.h"
#include "faximage/fax_converter.h"
#include "faximage/fax_unpack_engine.h"
#include "support/peer.h"
#include "support/temp_dir.h"

namespace tlm::testing {
namespace {

bool HavePdftoppm() { return RunShell("pdftoppm -v > /dev/null 2>&1") == 0; }

TEST(PdfPeer, LetterPagesAgreeWithPdftoppm) {
  REQUIRE_PEER(HavePdftoppm(), "pdftoppm (poppler-utils)");
  TempDir dir;
  const std::string pdf = std::string(TOLMERA_FIXTURES_DIR) + "/pdf/letter-libreoffice.pdf";
  for (const bool fine : {false, true}) {
    TKvFaxConverter c;
    c.InputDocumentType = idPdf;
    c.Resolution = fine ? frHigh : frNormal;
    c.SetDocumentFile(pdf);
    c.OutFileName = dir.File("letter.apf");
    c.ConvertToApf();
    const std::string ry = fine ? "196" : "98";
    ASSERT_EQ(RunShell("pdftoppm -mono -rx 204 -ry " + ry + " " + pdf + " " + dir.File("peer")), 0);
    for (int n = 1; n <= 2; ++n) {
      Page ours(1728, 0);
      UnpackApfPage(c.OutputPath(), n, {}, {}, [&](const std::uint8_t* line, int bytes) {
        ours.height++;
        ours.bits.insert(ours.bits.end(), line, line + std::min(bytes, ours.RowBytes()));
      });
      const Page peer = ReadPbm(dir.File("peer-" + std::to_string(n) + ".pbm"));
      // US Letter is 1734 pixels wide at 204 dpi: the fax line keeps the
      // middle 1728.
      ASSERT_EQ(peer.width, 1734);
      ASSERT_EQ(ours.height, peer.height) << "page " << n;
      long equal = 0, ink = 0;
      for (int y = 0; y < peer.height; ++y) {
        for (int x = 0; x < 1728; ++x) {
          equal += ours.Black(x, y) == peer.Black(x + 3, y);
          ink += peer.Black(x + 3, y);
        }
      }
      const double share = double(equal) / (1728.0 * peer.height);
      EXPECT_GE(share, 0.98) << "page " << n << (fine ? " fine" : " standard");
      EXPECT_GT(ink, 2000) << "page " << n;  // a page of text, not a blank one
      std::printf("page %d %s: %.4f of pixels equal\n", n, fine ? "fine" : "standard", share);
    }
  }
}

}  // namespace
}  // namespace tlm::testing
