#pragma once
// The arithmetic of printing fax pages: header and footer macros, where a
// page goes on a sheet, and how large its image is drawn.
#include <QRect>
#include <QSize>
#include <QString>

namespace tlm {

// Expands the macros of a header or footer text. A macro runs from "$" to
// the next space (or the end) and is replaced whole: $D the date, $F the
// file name, $N the page count, $P the page number, $T the time (either
// case); any other letter removes it. Characters after the letter belong
// to the macro ("$P," gives the number without the comma).
QString ExpandPrintMacros(const QString& text, int page, int pageCount, const QString& fileName);

// The area of a sheet (`sheet`, printer units) that page number `index`
// (counted from the first page printed, from 0) takes: the whole sheet, or
// with several pages a sheet a quarter (portrait: top left, top right,
// bottom left, bottom right) or a half (landscape: left, right); shrunk by
// 2 units on every side.
QRect PageArea(const QRect& sheet, int index, bool multiPage, bool landscape);

// True when page `index` (from 0) starts a new sheet.
bool StartsSheet(int index, bool multiPage, bool landscape);

// The size an image of `pixels` (whose fax page is `faxWidth` pixels wide)
// is drawn at in `area` so that the fax page's width takes 93% of the area's
// width, a pixel is as high as a fax line (7.7 lines a millimetre against
// 1728 pixels over 215 mm), and the whole stays inside the area: the page
// keeps its proportions.
QSize FitToPageSize(QSize pixels, int faxWidth, QSize area);

// The size at the printer's resolution: 200 pixels an inch either way.
// Rows that would pass the area's foot are left off rather than squeezed:
// `visibleRows` says how many of the image's rows are drawn.
QSize NaturalSize(QSize pixels, int printerDpiX, int printerDpiY, int areaHeight, int& visibleRows);

}  // namespace tlm
