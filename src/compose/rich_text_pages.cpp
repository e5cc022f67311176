#include "compose/rich_text_pages.h"

#include <QPainter>
#include <cstdio>

#include "compose/fax_file_names.h"
#include "faximage/fax_converter.h"
#include "faximage/image_writers.h"
#include "richtext/rich_text_editor.h"

namespace tlm {
namespace {

constexpr int kMaxShortText = 256;
constexpr int kLinesChecked = 201;

bool IsBlank(const QString& line) {
  for (QChar c : line)
    if (c != ' ') return false;
  return true;
}

// Removes the page bitmap file whatever happens; failures do not matter.
struct RemoveOnExit {
  std::string path;
  ~RemoveOnExit() { std::remove(path.c_str()); }
};

}  // namespace

bool IsRichTextEmpty(const RichTextEditor& editor) {
  if (editor.IsEmpty()) return true;
  if (editor.CharacterCount() >= kMaxShortText) return false;
  int lines = std::min(editor.LineCount(), kLinesChecked);
  for (int i = 0; i < lines; ++i) {
    if (!IsBlank(editor.Line(i))) return false;
  }
  return true;
}

int RenderZoomPercent(int screenPixelsPerInch) {
  return screenPixelsPerInch > 0 ? 200 * 100 / screenPixelsPerInch : 100;
}

MonoBitmap PageImageToBitmap(const QImage& image) {
  QImage grey = image.format() == QImage::Format_Grayscale8 ? image : image.convertToFormat(QImage::Format_Grayscale8);
  const int width = grey.width();
  MonoBitmap bitmap(width, grey.height());
  for (int y = 0; y < grey.height(); ++y) {
    const uchar* in = grey.constScanLine(y);
    std::uint8_t* out = bitmap.Row(y);
    for (int x = 0; x < width; ++x) {
      if (in[x] < 128) out[x >> 3] &= static_cast<std::uint8_t>(~(0x80 >> (x & 7)));
    }
  }
  return bitmap;
}

namespace {

// The zoom and page mode of fax pages.
void SetUpForFaxPages(RichTextEditor& editor) {
  editor.SetZoom(RenderZoomPercent(editor.ScreenPixelsPerInch()));
  editor.SetPagePaintMode(RichTextEditor::kPaintLayoutPages);
}

}  // namespace

int CountRichTextPages(RichTextEditor& editor) {
  SetUpForFaxPages(editor);
  int pages = 0;
  int line = 0;
  do {
    line = editor.PaintPage(nullptr, kFaxPageOffset, kFaxPageOffset, kFaxPageWidth - kFaxPageOffset,
                            kFaxPageHeight - kFaxPageOffset, line, false);
    ++pages;
  } while (line > 0);
  return pages;
}

void RenderRichTextPages(RichTextEditor& editor, PageList& pages, const std::string& folder,
                         TKvFaxConverter& converter, const std::function<void()>& yield) {
  RenderRichTextPages(editor, pages, folder, converter, yield, {});
}

void RenderRichTextPages(RichTextEditor& editor, PageList& pages, const std::string& folder,
                         TKvFaxConverter& converter, const std::function<void()>& yield,
                         const std::function<void()>& pageDone) {
  const std::string firstName = FindFreeFaxFileName(folder);
  int count = static_cast<int>(pages.size());
  QImage page(kFaxPageWidth, kFaxPageHeight, QImage::Format_Grayscale8);
  converter.SetOptions(coYield);
  converter.Resolution = frHigh;
  page.fill(Qt::white);
  SetUpForFaxPages(editor);
  RemoveOnExit bitmapFile{folder + kPageBitmapFileName};

  int line = 0;
  do {
    int next;
    {
      QPainter painter(&page);
      next = editor.PaintPage(&painter, kFaxPageOffset, kFaxPageOffset, kFaxPageWidth - kFaxPageOffset,
                              kFaxPageHeight - kFaxPageOffset, line, true);
    }
    ++count;
    std::string pageName = PageFaxFileName(folder, count, firstName);
    // A black dot in the corner makes every page image reach the full height.
    page.setPixelColor(kFaxPageWidth - 5, kFaxPageHeight - 5, Qt::black);
    WriteImageFile(bitmapFile.path, EncodeBmp(PageImageToBitmap(page)));
    if (yield) yield();
    converter.SetDocumentFile(bitmapFile.path);
    converter.InputDocumentType = idBmp;
    converter.OutFileName = pageName;
    converter.ConvertToApf();
    pages.push_back(pageName);
    if (pageDone) pageDone();
    page.fill(Qt::white);
    line = next;
  } while (line > 0);
}

}  // namespace tlm
