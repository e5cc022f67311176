#include "viewer/print_layout.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <cmath>

namespace tlm {

QString ExpandPrintMacros(const QString& text, int page, int pageCount, const QString& fileName) {
  QString out = text;
  qsizetype from = 0;
  for (;;) {
    const qsizetype start = out.indexOf(QLatin1Char('$'), from);
    if (start < 0) break;
    qsizetype end = out.indexOf(QLatin1Char(' '), start);
    if (end < 0) end = out.size();
    const QChar letter = start + 1 < end ? out[start + 1].toUpper() : QChar();
    const QDateTime now = QDateTime::currentDateTime();
    QString value;
    if (letter == QLatin1Char('D')) value = QLocale::system().toString(now.date(), QLocale::ShortFormat);
    else if (letter == QLatin1Char('F')) value = fileName;
    else if (letter == QLatin1Char('N')) value = QString::number(pageCount);
    else if (letter == QLatin1Char('P')) value = QString::number(page);
    else if (letter == QLatin1Char('T')) value = QLocale::system().toString(now.time(), QLocale::ShortFormat);
    out.replace(start, end - start, value);
    // A "$" inside the inserted text (a file name) is not a macro.
    from = start + value.size();
  }
  return out;
}

QRect PageArea(const QRect& sheet, int index, bool multiPage, bool landscape) {
  QRect area = sheet;
  if (multiPage) {
    const int w = sheet.width() / 2;
    const int h = landscape ? sheet.height() : sheet.height() / 2;
    const int slot = landscape ? index % 2 : index % 4;
    const int column = slot % 2;
    const int row = landscape ? 0 : slot / 2;
    area = QRect(sheet.left() + column * w, sheet.top() + row * h, w, h);
  }
  return area.adjusted(2, 2, -2, -2);
}

bool StartsSheet(int index, bool multiPage, bool landscape) {
  if (index == 0) return false;
  if (!multiPage) return true;
  return index % (landscape ? 2 : 4) == 0;
}

QSize FitToPageSize(QSize pixels, int faxWidth, QSize area) {
  if (pixels.isEmpty() || area.isEmpty() || faxWidth <= 0) return {};
  // Lines are a little taller than pixels are wide: 7.7 lines against
  // 1728 / 215 = 8.04 pixels a millimetre.
  constexpr double kLineAspect = (1728.0 / 215.0) / 7.7;
  double scale = 0.93 * area.width() / faxWidth;
  if (pixels.height() * kLineAspect * scale > area.height()) scale = area.height() / (pixels.height() * kLineAspect);
  return {std::max(1, int(std::lround(pixels.width() * scale))),
          std::max(1, int(std::lround(pixels.height() * kLineAspect * scale)))};
}

QSize NaturalSize(QSize pixels, int printerDpiX, int printerDpiY, int areaHeight, int& visibleRows) {
  const int w = int(std::int64_t(pixels.width()) * printerDpiX / 200);
  int h = int(std::int64_t(pixels.height()) * printerDpiY / 200);
  visibleRows = pixels.height();
  if (h > areaHeight && printerDpiY > 0) {
    visibleRows = int(std::int64_t(std::max(areaHeight, 0)) * 200 / printerDpiY);
    h = int(std::int64_t(visibleRows) * printerDpiY / 200);
  }
  return {w, h};
}

}  // namespace tlm
