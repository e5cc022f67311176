// Tables in the editor's QTextDocument: built from the model with their
// widths, borders and merges, read back unchanged, and painted on pages.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>

#include "qt_app.h"
#include "richtext/page_renderer.h"
#include "richtext/rtf/rtf_reader.h"
#include "richtext/rtf/rtf_writer.h"
#include "richtext/text_document_model.h"
#include "richtext/text_document_tables.h"
#include "support/temp_dir.h"

namespace tlm {
namespace {

rtf::Document ReadFixture(const std::string& name) {
  rtf::Document doc;
  std::string error;
  EXPECT_TRUE(rtf::ReadRtf(testing::ReadText(std::string(TOLMERA_FIXTURES_DIR) + "/rtf/" + name), doc, &error));
  return doc;
}

class TableDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::App(); }
};

// Built at `dpi` and read back.
rtf::Document ThroughQt(const rtf::Document& model, double dpi = 96) {
  QTextDocument doc;
  BuildOptions options;
  options.dpi = dpi;
  BuildTextDocument(model, options, doc);
  return ModelFromTextDocument(doc, dpi, model.page);
}

void ExpectSameTables(const rtf::Document& a, const rtf::Document& b) {
  ASSERT_EQ(a.paragraphs.size(), b.paragraphs.size());
  for (size_t i = 0; i < a.paragraphs.size(); ++i) {
    EXPECT_EQ(a.paragraphs[i].cell, b.paragraphs[i].cell) << "paragraph " << i << " " << a.paragraphs[i].Text();
    EXPECT_EQ(a.paragraphs[i].Text(), b.paragraphs[i].Text()) << "paragraph " << i;
    EXPECT_EQ(a.paragraphs[i].format, b.paragraphs[i].format) << "paragraph " << i << " " << a.paragraphs[i].Text();
  }
  ASSERT_EQ(a.tables.size(), b.tables.size());
  for (size_t t = 0; t < a.tables.size(); ++t) {
    ASSERT_EQ(a.tables[t].rows.size(), b.tables[t].rows.size());
    for (size_t r = 0; r < a.tables[t].rows.size(); ++r) {
      const rtf::TableRow& ra = a.tables[t].rows[r];
      const rtf::TableRow& rb = b.tables[t].rows[r];
      EXPECT_EQ(ra.gap, rb.gap);
      EXPECT_EQ(ra.left, rb.left);
      EXPECT_EQ(ra.header, rb.header);
      EXPECT_EQ(ra.height, rb.height);
      ASSERT_EQ(ra.cells.size(), rb.cells.size()) << "row " << r;
      for (size_t c = 0; c < ra.cells.size(); ++c) {
        rtf::TableCell ca = ra.cells[c], cb = rb.cells[c];
        EXPECT_NEAR(ca.rightEdge, cb.rightEdge, 2) << "row " << r << " cell " << c;
        ca.rightEdge = cb.rightEdge;
        EXPECT_EQ(ca, cb) << "row " << r << " cell " << c;
      }
    }
  }
}

TEST_F(TableDocumentTest, ModelTablesSurviveTheQtDocument) {
  rtf::Document model = ReadFixture("letter-libreoffice.rtf");
  ExpectSameTables(model, ThroughQt(model));
  ExpectSameTables(model, ThroughQt(model, 200));
  model = ReadFixture("memo-pandoc.rtf");
  ExpectSameTables(model, ThroughQt(model));
}

}  // namespace
}  // namespace tlm
