#include "richtext/text_document_tables.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "richtext/text_document_model.h"

namespace tlm {
namespace {

// Cell-format properties for what a QTextTable has no place for: the
// border as the file gave it (Qt draws at least a pixel, and double lines
// only where they are wide enough), automatic colours, and the row height.
// Side n is top, left, bottom, right.
constexpr int kBorderStyleProperty = QTextFormat::UserProperty + 21;  // + side
constexpr int kBorderTwipsProperty = QTextFormat::UserProperty + 25;  // + side
constexpr int kBorderColorProperty = QTextFormat::UserProperty + 29;  // + side, 0xRRGGBB or automatic
constexpr int kShadingProperty = QTextFormat::UserProperty + 33;      // 0xRRGGBB or automatic
constexpr int kShadingPercentProperty = QTextFormat::UserProperty + 34;
constexpr int kRowHeightProperty = QTextFormat::UserProperty + 35;
constexpr int kRowGapProperty = QTextFormat::UserProperty + 36;
constexpr int kPaddingProperty = QTextFormat::UserProperty + 37;  // + side, twips or -1

constexpr int kMaxGridColumns = 64;
constexpr int kSameEdge = 10;  // twips: edges this close are one column line

double PixelsPerTwip(double dpi) { return dpi / 1440.0; }
int Twips(double pixels, double dpi) { return static_cast<int>(std::lround(pixels / PixelsPerTwip(dpi))); }

QTextFrameFormat::BorderStyle QtStyle(const rtf::BorderLine& line, double pixels) {
  switch (line.style) {
    case rtf::BorderStyle::None: return QTextFrameFormat::BorderStyle_None;
    case rtf::BorderStyle::Single: return QTextFrameFormat::BorderStyle_Solid;
    case rtf::BorderStyle::Double:
      return pixels >= 3 ? QTextFrameFormat::BorderStyle_Double : QTextFrameFormat::BorderStyle_Solid;
    case rtf::BorderStyle::Dotted: return QTextFrameFormat::BorderStyle_Dotted;
    case rtf::BorderStyle::Dashed: return QTextFrameFormat::BorderStyle_Dashed;
  }
  return QTextFrameFormat::BorderStyle_Solid;
}

rtf::BorderStyle ModelStyle(QTextFrameFormat::BorderStyle style) {
  switch (style) {
    case QTextFrameFormat::BorderStyle_None: return rtf::BorderStyle::None;
    case QTextFrameFormat::BorderStyle_Double: return rtf::BorderStyle::Double;
    case QTextFrameFormat::BorderStyle_Dotted: return rtf::BorderStyle::Dotted;
    case QTextFrameFormat::BorderStyle_Dashed:
    case QTextFrameFormat::BorderStyle_DotDash:
    case QTextFrameFormat::BorderStyle_DotDotDash: return rtf::BorderStyle::Dashed;
    default: return rtf::BorderStyle::Single;
  }
}

void SetBorder(QTextTableCellFormat& f, int side, const rtf::BorderLine& line, const BuildOptions& options) {
  const double u = PixelsPerTwip(options.dpi);
  const bool shown = line.style != rtf::BorderStyle::None;
  // At least a pixel, so that a hairline still shows on a fax.
  const double pixels = shown ? std::max(line.width * u, 1.0) : 0.0;
  const QTextFrameFormat::BorderStyle style = QtStyle(line, pixels);
  QBrush brush(options.forPrinting || line.color == rtf::kAutoColor ? QColor(Qt::black)
                                                                   : QColor(QRgb(0xFF000000u | line.color)));
  switch (side) {
    case 0: f.setTopBorder(pixels), f.setTopBorderStyle(style), f.setTopBorderBrush(brush); break;
    case 1: f.setLeftBorder(pixels), f.setLeftBorderStyle(style), f.setLeftBorderBrush(brush); break;
    case 2: f.setBottomBorder(pixels), f.setBottomBorderStyle(style), f.setBottomBorderBrush(brush); break;
    default: f.setRightBorder(pixels), f.setRightBorderStyle(style), f.setRightBorderBrush(brush); break;
  }
  f.setProperty(kBorderStyleProperty + side, static_cast<int>(line.style));
  f.setProperty(kBorderTwipsProperty + side, line.width);
  f.setProperty(kBorderColorProperty + side, static_cast<qulonglong>(line.color));
}

rtf::BorderLine BorderOf(const QTextTableCellFormat& f, int side, double dpi) {
  rtf::BorderLine line;
  if (f.hasProperty(kBorderStyleProperty + side)) {
    line.style = static_cast<rtf::BorderStyle>(std::clamp(f.intProperty(kBorderStyleProperty + side), 0, 4));
    line.width = f.intProperty(kBorderTwipsProperty + side);
    line.color = static_cast<std::uint32_t>(f.property(kBorderColorProperty + side).toULongLong());
    return line;
  }
  // A cell made by Qt (a row or column the user added) has only Qt's own.
  const double widths[] = {f.topBorder(), f.leftBorder(), f.bottomBorder(), f.rightBorder()};
  const QTextFrameFormat::BorderStyle styles[] = {f.topBorderStyle(), f.leftBorderStyle(), f.bottomBorderStyle(),
                                                  f.rightBorderStyle()};
  const QBrush brushes[] = {f.topBorderBrush(), f.leftBorderBrush(), f.bottomBorderBrush(), f.rightBorderBrush()};
  if (widths[side] <= 0 || styles[side] == QTextFrameFormat::BorderStyle_None) return line;
  line.style = ModelStyle(styles[side]);
  line.width = Twips(widths[side], dpi);
  QColor color = brushes[side].color();
  if (brushes[side].style() != Qt::NoBrush && color != Qt::black) line.color = color.rgb() & 0xFFFFFF;
  return line;
}

// `spaceAfter`: of the cell's last paragraph, which a QTextTable leaves out
// and word processors show.
// The cell's background: its colour, else its percentage of black.
std::optional<QColor> ShadeOf(const rtf::TableCell& cell) {
  if (cell.shading != rtf::kAutoColor) return QColor(QRgb(0xFF000000u | cell.shading));
  if (cell.shadingPercent > 0) return QColor::fromHsv(0, 0, 255 - 255 * cell.shadingPercent / 10000);
  return std::nullopt;
}

// A fax page is black and white, where a grey fill would turn into white or
// into a black block that hides the text: the shade becomes an even pattern
// of black dots covering as much of the cell as the shade is dark. Qt draws
// these patterns in device pixels, one dot a pixel at any scale.
QBrush DotsAsDarkAs(const QColor& shade) {
  struct Pattern {
    int percent;
    Qt::BrushStyle style;
  };
  static constexpr Pattern kPatterns[] = {{0, Qt::NoBrush},         {6, Qt::Dense7Pattern},
                                          {12, Qt::Dense6Pattern},  {37, Qt::Dense5Pattern},
                                          {50, Qt::Dense4Pattern},  {63, Qt::Dense3Pattern},
                                          {88, Qt::Dense2Pattern},  {94, Qt::Dense1Pattern},
                                          {100, Qt::SolidPattern}};
  const int dark = 100 - qGray(shade.rgb()) * 100 / 255;
  const Pattern* best = &kPatterns[0];
  for (const Pattern& p : kPatterns) {
    if (std::abs(p.percent - dark) < std::abs(best->percent - dark)) best = &p;
  }
  return best->style == Qt::NoBrush ? QBrush() : QBrush(Qt::black, best->style);
}

QTextTableCellFormat CellFormat(const rtf::TableCell& cell, const rtf::TableRow& row, int spaceAfter,
                                const BuildOptions& options) {
  const double u = PixelsPerTwip(options.dpi);
  QTextTableCellFormat f;
  f.setTopPadding(std::max(cell.padTop, 0) * u);
  f.setLeftPadding((cell.padLeft >= 0 ? cell.padLeft : row.gap) * u);
  f.setBottomPadding((std::max(cell.padBottom, 0) + spaceAfter) * u);
  f.setRightPadding((cell.padRight >= 0 ? cell.padRight : row.gap) * u);
  const int paddings[] = {cell.padTop, cell.padLeft, cell.padBottom, cell.padRight};
  for (int side = 0; side < 4; ++side) f.setProperty(kPaddingProperty + side, paddings[side]);
  f.setProperty(kRowGapProperty, row.gap);
  const rtf::BorderLine* sides[] = {&cell.top, &cell.left, &cell.bottom, &cell.right};
  for (int side = 0; side < 4; ++side) SetBorder(f, side, *sides[side], options);
  if (cell.align == rtf::CellAlign::Center) f.setVerticalAlignment(QTextCharFormat::AlignMiddle);
  if (cell.align == rtf::CellAlign::Bottom) f.setVerticalAlignment(QTextCharFormat::AlignBottom);
  if (const std::optional<QColor> shade = ShadeOf(cell)) {
    f.setBackground(options.forPrinting ? DotsAsDarkAs(*shade) : QBrush(*shade));
  }
  f.setProperty(kShadingProperty, static_cast<qulonglong>(cell.shading));
  f.setProperty(kShadingPercentProperty, cell.shadingPercent);
  f.setProperty(kRowHeightProperty, row.height);
  return f;
}

rtf::TableCell CellOf(const QTextTableCellFormat& f, double dpi) {
  rtf::TableCell cell;
  if (f.hasProperty(kPaddingProperty)) {
    cell.padTop = f.intProperty(kPaddingProperty);
    cell.padLeft = f.intProperty(kPaddingProperty + 1);
    cell.padBottom = f.intProperty(kPaddingProperty + 2);
    cell.padRight = f.intProperty(kPaddingProperty + 3);
  }
  cell.top = BorderOf(f, 0, dpi);
  cell.left = BorderOf(f, 1, dpi);
  cell.bottom = BorderOf(f, 2, dpi);
  cell.right = BorderOf(f, 3, dpi);
  switch (f.verticalAlignment()) {
    case QTextCharFormat::AlignMiddle: cell.align = rtf::CellAlign::Center; break;
    case QTextCharFormat::AlignBottom: cell.align = rtf::CellAlign::Bottom; break;
    default: break;
  }
  if (f.hasProperty(kShadingProperty)) {
    cell.shading = static_cast<std::uint32_t>(f.property(kShadingProperty).toULongLong());
    cell.shadingPercent = std::clamp(f.intProperty(kShadingPercentProperty), 0, 10000);
  } else if (f.hasProperty(QTextFormat::BackgroundBrush)) {
    cell.shading = f.background().color().rgb() & 0xFFFFFF;
  }
  return cell;
}

// The column lines of a table: every row's left edge and cell edges, close
// ones taken as one. A table cut so raggedly that this gives too many
// columns gets the lines of its row with most cells.
std::vector<int> ColumnLines(const std::vector<rtf::TableRow>& rows) {
  std::vector<int> lines;
  for (const rtf::TableRow& row : rows) {
    lines.push_back(row.left);
    for (const rtf::TableCell& cell : row.cells) lines.push_back(cell.rightEdge);
  }
  std::sort(lines.begin(), lines.end());
  std::vector<int> merged;
  for (int x : lines)
    if (merged.empty() || x - merged.back() > kSameEdge) merged.push_back(x);
  if (static_cast<int>(merged.size()) <= kMaxGridColumns + 1) return merged;
  const rtf::TableRow* widest = &rows.front();
  for (const rtf::TableRow& row : rows)
    if (row.cells.size() > widest->cells.size()) widest = &row;
  merged = {widest->left};
  for (const rtf::TableCell& cell : widest->cells) merged.push_back(std::max(cell.rightEdge, merged.back() + 1));
  return merged;
}

int NearestLine(const std::vector<int>& lines, int x) {
  auto it = std::lower_bound(lines.begin(), lines.end(), x);
  if (it == lines.end()) return static_cast<int>(lines.size()) - 1;
  if (it != lines.begin() && x - *(it - 1) < *it - x) --it;
  return static_cast<int>(it - lines.begin());
}

// A cell of the QTextTable and the model cells it holds.
struct Area {
  int row, column, rows, columns;
  rtf::TableCell cell;  // the first model cell's look, its far borders from the last
  const rtf::TableRow* tableRow;
};

}  // namespace

size_t InsertTable(QTextCursor& cursor, const rtf::Document& doc, size_t first, const BuildOptions& options,
                   const InsertParagraphFn& insertParagraph) {
  const int t = doc.paragraphs[first].cell.table;
  size_t end = first;
  while (end < doc.paragraphs.size() && doc.paragraphs[end].cell.table == t) ++end;
  if (t < 0 || t >= static_cast<int>(doc.tables.size()) || doc.tables[t].rows.empty()) {
    for (size_t i = first; i < end; ++i) insertParagraph(cursor, doc.paragraphs[i], false);
    return end;
  }
  const std::vector<rtf::TableRow>& rows = doc.tables[t].rows;
  const std::vector<int> lines = ColumnLines(rows);
  const int columns = std::max(1, static_cast<int>(lines.size()) - 1);
  const int rowCount = static_cast<int>(rows.size());

  // Where each model cell lies in the grid, merges joined.
  std::vector<Area> areas;
  std::vector<std::vector<int>> areaOf(rowCount);  // per model row and cell
  std::vector<std::vector<int>> owner(rowCount, std::vector<int>(columns, -1));
  for (int r = 0; r < rowCount; ++r) {
    const rtf::TableRow& row = rows[r];
    int previousEnd = 0;
    for (size_t c = 0; c < row.cells.size(); ++c) {
      const rtf::TableCell& cell = row.cells[c];
      int start = c == 0 ? 0 : std::min(previousEnd, columns - 1);
      int stop = c + 1 == row.cells.size() ? columns : NearestLine(lines, cell.rightEdge);
      stop = std::clamp(stop, start + 1, columns);
      previousEnd = stop;
      int area = -1;
      if (cell.merged && c > 0 && areas[areaOf[r][c - 1]].row == r) {
        area = areaOf[r][c - 1];
      } else if (cell.vmerged && r > 0 && owner[r - 1][start] >= 0) {
        const Area& above = areas[owner[r - 1][start]];
        if (above.column == start && above.column + above.columns == stop) area = owner[r - 1][start];
      }
      if (area < 0 && start < columns && owner[r][start] >= 0) area = owner[r][start];  // no room left
      if (area < 0) {
        areas.push_back(Area{r, start, 1, stop - start, cell, &row});
        area = static_cast<int>(areas.size()) - 1;
      } else {
        Area& a = areas[area];
        a.rows = std::max(a.rows, r - a.row + 1);
        a.columns = std::max(a.columns, stop - a.column);
        if (cell.merged) a.cell.right = cell.right;
        if (cell.vmerged) a.cell.bottom = cell.bottom;
      }
      const Area& a = areas[area];
      for (int rr = a.row; rr <= r; ++rr)
        for (int cc = a.column; cc < a.column + a.columns; ++cc) owner[rr][cc] = area;
      areaOf[r].push_back(area);
    }
  }

  // Narrowed to the text width when wider, as word processors show it.
  const rtf::PageSetup& page = doc.page;
  const int textWidth = page.paperWidth - page.marginLeft - page.marginRight;
  const int left = lines.front();
  const int right = lines.back();
  double scale = 1.0;
  if (right > textWidth && right > left && textWidth > left) scale = double(textWidth - left) / (right - left);

  const double u = PixelsPerTwip(options.dpi);
  QTextTableFormat format;
  format.setBorder(0);
  format.setBorderCollapse(true);
  format.setCellSpacing(0);
  format.setCellPadding(0);
  format.setMargin(0);
  format.setLeftMargin(left * u);
  format.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
  QList<QTextLength> widths;
  for (int c = 0; c < columns; ++c) {
    widths.append(QTextLength(QTextLength::FixedLength, (lines[c + 1] - lines[c]) * scale * u));
  }
  format.setColumnWidthConstraints(widths);
  int headers = 0;
  while (headers < rowCount && rows[headers].header) ++headers;
  format.setHeaderRowCount(headers);
  if (doc.paragraphs[first].format.pageBreakBefore) format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);

  QTextTable* table = cursor.insertTable(rowCount, columns, format);
  std::vector<bool> filled(areas.size(), false);
  std::vector<int> spaceAfter(areas.size(), 0);
  for (size_t i = first; i < end; ++i) {
    const rtf::Paragraph& para = doc.paragraphs[i];
    const int r = std::clamp(para.cell.row, 0, rowCount - 1);
    const int c = std::clamp(para.cell.column, 0, static_cast<int>(areaOf[r].size()) - 1);
    if (areaOf[r].empty()) continue;
    const int area = areaOf[r][c];
    const Area& a = areas[area];
    // The empty text of a cell merged into another is no text of that one.
    const bool mergedAway = a.row != r || (c > 0 && areaOf[r][c - 1] == area);
    if (mergedAway && para.runs.empty()) continue;
    QTextCursor cellCursor = table->cellAt(a.row, a.column).lastCursorPosition();
    if (i == first && para.format.pageBreakBefore) {  // the table's break, not one inside the cell
      rtf::Paragraph unbroken = para;
      unbroken.format.pageBreakBefore = false;
      insertParagraph(cellCursor, unbroken, !filled[area]);
    } else {
      insertParagraph(cellCursor, para, !filled[area]);
    }
    filled[area] = true;
    spaceAfter[area] = para.format.spaceAfter;
  }
  // A row goes to the next page whole when it does not fit: the layout
  // moves a row on when a cell's first line moves, and a block that cannot
  // be broken moves with its first line.
  QTextBlockFormat unbroken;
  unbroken.setNonBreakableLines(true);
  QTextCursor all(table->document());
  all.setPosition(table->firstPosition());
  all.setPosition(table->lastPosition(), QTextCursor::KeepAnchor);
  all.mergeBlockFormat(unbroken);
  // A cell's format is that of its first block: set after the text, and
  // cells merged after that (the cells merged in are empty).
  for (size_t i = 0; i < areas.size(); ++i) {
    const Area& a = areas[i];
    table->cellAt(a.row, a.column).setFormat(CellFormat(a.cell, *a.tableRow, spaceAfter[i], options));
  }
  for (const Area& a : areas) {
    if (a.rows > 1 || a.columns > 1) table->mergeCells(a.row, a.column, a.rows, a.columns);
  }
  cursor = table->lastCursorPosition();
  cursor.movePosition(QTextCursor::NextBlock);
  return end;
}

void AppendTable(const QTextTable& table, double dpi, rtf::Document& doc, const ReadParagraphFn& readParagraph) {
  const int index = static_cast<int>(doc.tables.size());
  doc.tables.emplace_back();
  const QTextTableFormat format = table.format();
  const int rowCount = table.rows();
  const int columns = table.columns();
  QTextDocument* document = table.document();

  // Column widths: as set, else an equal share of the table's width.
  QList<QTextLength> constraints = format.columnWidthConstraints();
  const QTextFrameFormat root = document->rootFrame()->frameFormat();
  const double textWidth = document->pageSize().width() - root.leftMargin() - root.rightMargin();
  double tableWidth = document->documentLayout()->frameBoundingRect(const_cast<QTextTable*>(&table)).width();
  if (tableWidth <= 0) tableWidth = textWidth;
  const int left = Twips(format.leftMargin(), dpi);
  std::vector<int> edges{left};
  double x = 0;
  for (int c = 0; c < columns; ++c) {
    double width = c < constraints.size() ? constraints[c].value(textWidth) : 0;
    if (width <= 0) width = tableWidth / columns;
    x += width;
    edges.push_back(left + Twips(x, dpi));
  }

  for (int r = 0; r < rowCount; ++r) {
    rtf::TableRow row;
    row.left = left;
    row.header = r < format.headerRowCount();
    const QTextTableCellFormat firstFormat = table.cellAt(r, 0).format().toTableCellFormat();
    row.gap = firstFormat.hasProperty(kRowGapProperty) ? firstFormat.intProperty(kRowGapProperty)
                                                      : Twips(firstFormat.leftPadding(), dpi);
    row.height = firstFormat.intProperty(kRowHeightProperty);
    int modelColumn = 0;
    for (int c = 0; c < columns; ++c) {
      const QTextTableCell cell = table.cellAt(r, c);
      if (cell.column() != c) continue;  // inside a cell spanning columns
      rtf::TableCell def = CellOf(cell.format().toTableCellFormat(), dpi);
      def.rightEdge = std::max(edges[std::min(c + cell.columnSpan(), columns)], edges[c] + 1);
      const rtf::TableCellRef ref{index, r, modelColumn++};
      if (cell.row() != r) {
        def.vmerged = true;
        rtf::Paragraph empty;
        empty.cell = ref;
        doc.paragraphs.push_back(std::move(empty));
      } else {
        def.vmergeFirst = cell.rowSpan() > 1;
        // Every block of the cell, also those of a table inside it.
        for (QTextBlock block = document->findBlock(cell.firstPosition());
             block.isValid() && block.position() <= cell.lastPosition(); block = block.next()) {
          rtf::Paragraph para = readParagraph(block);
          para.cell = ref;
          doc.paragraphs.push_back(std::move(para));
        }
      }
      row.cells.push_back(def);
    }
    doc.tables[index].rows.push_back(std::move(row));
  }
}

void SplitTableBeforeRow(rtf::Document& doc, int group, int row) {
  // The paragraphs of the group-th table, [begin, end).
  std::vector<rtf::Paragraph>& paras = doc.paragraphs;
  size_t begin = paras.size(), end = paras.size();
  int seen = -1;
  for (size_t i = 0; i < paras.size(); ++i) {
    const int t = paras[i].cell.table;
    if (begin < paras.size() && t != paras[begin].cell.table) {
      end = i;
      break;
    }
    if (t >= 0 && (i == 0 || paras[i - 1].cell.table != t) && ++seen == group) begin = i;
  }
  if (begin == paras.size()) return;
  const int table = paras[begin].cell.table;
  if (table >= static_cast<int>(doc.tables.size())) return;
  std::vector<rtf::TableRow>& rows = doc.tables[table].rows;
  if (row <= 0 || row >= static_cast<int>(rows.size())) return;

  // The header rows come again at the top of the part that moves on.
  int headers = 0;
  while (headers < row && rows[headers].header) ++headers;
  if (headers == row) headers = 0;  // a cut inside the header: nothing to repeat
  rtf::Table rest;
  rest.rows.assign(rows.begin(), rows.begin() + headers);
  rest.rows.insert(rest.rows.end(), rows.begin() + row, rows.end());
  rows.resize(row);
  const int moved = static_cast<int>(doc.tables.size());
  doc.tables.push_back(std::move(rest));

  std::vector<rtf::Paragraph> repeated;
  size_t firstMoved = end;
  for (size_t i = begin; i < end; ++i) {
    rtf::TableCellRef& cell = paras[i].cell;
    if (cell.row < headers) {
      repeated.push_back(paras[i]);
      repeated.back().cell.table = moved;
    } else if (cell.row >= row) {
      firstMoved = std::min(firstMoved, i);
      cell = rtf::TableCellRef{moved, cell.row - row + headers, cell.column};
    }
  }
  paras.insert(paras.begin() + static_cast<std::ptrdiff_t>(firstMoved), repeated.begin(), repeated.end());
  if (firstMoved < paras.size()) paras[firstMoved].format.pageBreakBefore = true;
}

void ApplyRowHeights(QTextDocument& doc, double dpi) {
  struct Growth {
    QTextTable* table;
    int row;
    double pixels;
  };
  std::vector<Growth> growths;
  QAbstractTextDocumentLayout* layout = doc.documentLayout();
  for (QTextFrame* frame : doc.rootFrame()->childFrames()) {
    auto* table = qobject_cast<QTextTable*>(frame);
    if (!table) continue;
    for (int r = 0; r < table->rows(); ++r) {
      const int height = table->cellAt(r, 0).format().intProperty(kRowHeightProperty);
      if (height == 0) continue;
      // The row's extent: each cell's text with its paddings.
      double top = 1e18, bottom = -1e18;
      for (int c = 0; c < table->columns(); ++c) {
        const QTextTableCell cell = table->cellAt(r, c);
        if (cell.row() != r || cell.column() != c || cell.rowSpan() > 1) continue;
        const QTextTableCellFormat f = cell.format().toTableCellFormat();
        const QRectF first = layout->blockBoundingRect(doc.findBlock(cell.firstPosition()));
        const QRectF last = layout->blockBoundingRect(doc.findBlock(cell.lastPosition()));
        top = std::min(top, first.top() - f.topPadding());
        bottom = std::max(bottom, last.bottom() + f.bottomPadding());
      }
      const double missing = std::abs(height) * PixelsPerTwip(dpi) - (bottom - top);
      if (bottom > top && missing >= 1) growths.push_back({table, r, missing});
    }
  }
  // Each row grows by its own measure; the layout is redone once, after all.
  for (const Growth& g : growths) {
    for (int c = 0; c < g.table->columns(); ++c) {
      QTextTableCell cell = g.table->cellAt(g.row, c);
      if (cell.row() != g.row || cell.column() != c || cell.rowSpan() > 1) continue;
      QTextTableCellFormat f = cell.format().toTableCellFormat();
      // The room goes where the cell's alignment leaves it.
      const auto align = f.verticalAlignment();
      const double above = align == QTextCharFormat::AlignBottom   ? g.pixels
                           : align == QTextCharFormat::AlignMiddle ? g.pixels / 2
                                                                   : 0;
      f.setTopPadding(f.topPadding() + above);
      f.setBottomPadding(f.bottomPadding() + g.pixels - above);
      cell.setFormat(f);
    }
  }
}

rtf::Document NewTableDocument(int rows, int columns, int width) {
  rtf::Document doc;
  rows = std::clamp(rows, 1, rtf::kMaxTableRows);
  columns = std::clamp(columns, 1, rtf::kMaxTableColumns);
  rtf::TableRow row;
  row.gap = 108;
  row.left = 0;
  const rtf::BorderLine line{rtf::BorderStyle::Single, 10, rtf::kAutoColor};
  for (int c = 0; c < columns; ++c) {
    rtf::TableCell cell;
    cell.top = cell.left = cell.bottom = cell.right = line;
    cell.rightEdge = static_cast<int>(static_cast<long long>(width) * (c + 1) / columns);
    row.cells.push_back(cell);
  }
  doc.tables.push_back(rtf::Table{std::vector<rtf::TableRow>(rows, row)});
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      rtf::Paragraph para;
      para.cell = rtf::TableCellRef{0, r, c};
      doc.paragraphs.push_back(std::move(para));
    }
  }
  return doc;
}

}  // namespace tlm
