#pragma once
// Rendering a rich text into one-page fax files at 200 dots per inch.
#include <QImage>
#include <functional>
#include <string>
#include <vector>

#include "faximage/mono_bitmap.h"

namespace tlm {

class RichTextEditor;
class TKvFaxConverter;

// The page bitmap: 8.32 x 10.78 inches at 200 dots per inch.
inline constexpr int kFaxPageWidth = 1664;
inline constexpr int kFaxPageHeight = 2156;
inline constexpr int kFaxPageOffset = 49;  // of the paper's corner, both ways

using PageList = std::vector<std::string>;

// True when the text holds nothing worth sending: no text at all, or fewer
// than 256 characters whose first 201 lines hold nothing but spaces.
bool IsRichTextEmpty(const RichTextEditor& editor);

// The zoom that makes one inch 200 pixels on a screen of this density:
// the integer part of 200 / ppi x 100 percent.
int RenderZoomPercent(int screenPixelsPerInch);

// A painted page (grey levels) as a one-bit bitmap: below half grey is black.
MonoBitmap PageImageToBitmap(const QImage& page);

// Paints every page of the editor's text, converts each into a one-page APF
// file and appends the files to `pages`: the fax's first page gets the name
// FindFreeFaxFileName gives, every later page "TLMAX" + its number. The
// bitmap file "_TMP.BMP" in `folder` is removed at the end. `yield` lets
// pending window messages run. Converter and file errors are thrown.
void RenderRichTextPages(RichTextEditor& editor, PageList& pages, const std::string& folder,
                         TKvFaxConverter& converter, const std::function<void()>& yield);
// The same, calling `pageDone` after each page's file is made. Only one page
// is held in memory at a time.
void RenderRichTextPages(RichTextEditor& editor, PageList& pages, const std::string& folder,
                         TKvFaxConverter& converter, const std::function<void()>& yield,
                         const std::function<void()>& pageDone);

// The number of pages RenderRichTextPages makes of the editor's text, found
// from the layout without painting.
int CountRichTextPages(RichTextEditor& editor);

// A fax file holds at most this many pages (its page count is 16 bits).
inline constexpr int kMaxFaxPages = 65535;

}  // namespace tlm
