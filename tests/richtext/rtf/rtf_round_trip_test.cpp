// Saving and loading again keeps everything the editor works with; what we
// save reads in an independent RTF reader (unrtf) with the same text.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "richtext/rtf/rtf_reader.h"
#include "richtext/rtf/rtf_writer.h"
#include "support/temp_dir.h"

namespace tlm::rtf {
namespace {

void ExpectSameDocument(const Document& a, const Document& b) {
  EXPECT_EQ(a.page, b.page);
  ASSERT_EQ(a.paragraphs.size(), b.paragraphs.size());
  for (size_t i = 0; i < a.paragraphs.size(); ++i) {
    const Paragraph& pa = a.paragraphs[i];
    const Paragraph& pb = b.paragraphs[i];
    EXPECT_EQ(pa.format, pb.format) << "paragraph " << i;
    ASSERT_EQ(pa.runs.size(), pb.runs.size()) << "paragraph " << i << ": " << pa.Text();
    for (size_t k = 0; k < pa.runs.size(); ++k) {
      EXPECT_EQ(pa.runs[k].text, pb.runs[k].text);
      EXPECT_EQ(pa.runs[k].insertTag, pb.runs[k].insertTag);
      CharFormat fa = pa.runs[k].format, fb = pb.runs[k].format;
      if (fa.font.empty()) fa.font = a.defaultFont;
      if (fb.font.empty()) fb.font = b.defaultFont;
      EXPECT_EQ(fa, fb) << "run " << pa.runs[k].text;
    }
  }
}

Document Sample() {
  Document doc;
  doc.page = PageSetup{12240, 15840, 720, 720, 720, 720};
  doc.defaultFont = "Arial";
  Paragraph title;
  title.format.align = Align::Center;
  title.format.spaceAfter = 240;
  CharFormat big;
  big.halfPoints = 32;
  big.bold = true;
  AppendText(title, "Fax {cover} \\ sheet", big);
  doc.paragraphs.push_back(title);

  Paragraph to;
  to.format.leftIndent = 720;
  to.format.firstIndent = -360;
  to.format.rightIndent = 360;
  to.format.lineHeight = 360;
  to.format.spaceBefore = 120;
  CharFormat plain;
  plain.halfPoints = 20;
  AppendText(to, "To:\t", plain);
  AppendText(to, "[RECIPIENT]", plain, 1);
  AppendText(to, " fax ", plain);
  AppendText(to, "[FAX#]", plain, 2);
  doc.paragraphs.push_back(to);

  Paragraph styled;
  styled.format.pageBreakBefore = true;
  styled.format.align = Align::Justify;
  styled.format.lineHeight = 276;
  styled.format.lineMultiple = true;
  CharFormat f;
  f.font = "Courier New";
  f.italic = true;
  f.underline = true;
  f.color = 0x123456;
  AppendText(styled, "Grüße € Łódź α — “q” 😊", f);
  f = CharFormat{};
  f.strike = true;
  f.vertical = 1;
  AppendText(styled, "x\u2028y", f);
  doc.paragraphs.push_back(styled);
  doc.paragraphs.push_back(Paragraph{});  // an empty last paragraph
  return doc;
}

TEST(RtfRoundTrip, SavedDocumentReadsBackTheSame) {
  Document doc = Sample();
  std::string saved = WriteRtf(doc);
  Document again;
  std::string error;
  ASSERT_TRUE(ReadRtf(saved, again, &error)) << error;
  ExpectSameDocument(doc, again);
  EXPECT_EQ(WriteRtf(again), saved) << "saving is stable";
}

TEST(RtfRoundTrip, FilesOfOtherProgramsSurviveSaveAndLoad) {
  for (const char* name : {"letter-libreoffice.rtf", "cover-libreoffice.rtf", "memo-pandoc.rtf"}) {
    SCOPED_TRACE(name);
    Document first;
    ASSERT_TRUE(ReadRtf(testing::ReadText(std::string(TOLMERA_FIXTURES_DIR) + "/rtf/" + name), first));
    Document second;
    ASSERT_TRUE(ReadRtf(WriteRtf(first), second));
    ExpectSameDocument(first, second);
  }
}

std::string RunUnrtf(const std::string& path) {
  std::string command = "unrtf --text --nopict '" + path + "' 2>/dev/null | iconv -f cp1252 -t utf-8";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string out;
  if (!pipe) return out;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) out.append(buffer.data(), n);
  return out;
}

TEST(RtfRoundTrip, UnrtfReadsOurFilesWithTheSameText) {
  testing::TempDir dir;
  Document doc = Sample();
  Document letter;
  ASSERT_TRUE(ReadRtf(testing::ReadText(std::string(TOLMERA_FIXTURES_DIR) + "/rtf/letter-libreoffice.rtf"), letter));
  for (const Document* d : {&doc, &letter}) {
    std::string path = dir.File("out.rtf");
    testing::WriteText(path, WriteRtf(*d));
    std::string text = RunUnrtf(path);
    ASSERT_FALSE(text.empty()) << "unrtf could not read our file";
    EXPECT_EQ(text.find("TLMINSERT"), std::string::npos);
    for (const Paragraph& p : d->paragraphs) {
      std::string t = p.Text();
      // unrtf writes its text in Windows-1252 and each line of a paragraph on its own; compare words.
      size_t start = 0;
      while (start < t.size()) {
        size_t end = t.find_first_of(" \t\u2028", start);
        if (end == std::string::npos) end = t.size();
        std::string word = t.substr(start, end - start);
        bool plainAscii = !word.empty();
        for (unsigned char c : word) plainAscii = plainAscii && c >= 0x20 && c < 0x7F;
        if (plainAscii) {
          EXPECT_NE(text.find(word), std::string::npos) << word;
        }
        start = end + 1;
      }
    }
  }
  testing::WriteText(dir.File("sample.rtf"), WriteRtf(doc));
  std::string text = RunUnrtf(dir.File("sample.rtf"));
  EXPECT_NE(text.find("[RECIPIENT]"), std::string::npos);
  EXPECT_NE(text.find("Grüße"), std::string::npos) << text;  // unrtf's text mode is Latin-1
}

}  // namespace
}  // namespace tlm::rtf
