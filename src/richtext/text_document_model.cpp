#include "richtext/text_document_model.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFrame>
#include <cmath>

#include "richtext/text_document_pictures.h"

namespace tlm {
namespace {

double PixelsPerTwip(double dpi) { return dpi / 1440.0; }
int Twips(double pixels, double dpi) { return static_cast<int>(std::lround(pixels / PixelsPerTwip(dpi))); }

rtf::CharFormat FromCharFormat(const QTextCharFormat& f, const QFont& fallback) {
  rtf::CharFormat c;
  QStringList families = f.fontFamilies().toStringList();
  c.font = (families.isEmpty() ? fallback.family() : families.first()).toStdString();
  double points = f.fontPointSize() > 0 ? f.fontPointSize() : fallback.pointSizeF();
  c.halfPoints = std::max(2, static_cast<int>(std::lround(points * 2)));
  c.bold = f.hasProperty(QTextFormat::FontWeight) ? f.fontWeight() >= QFont::DemiBold : fallback.bold();
  c.italic = f.hasProperty(QTextFormat::FontItalic) ? f.fontItalic() : fallback.italic();
  c.underline = f.hasProperty(QTextFormat::FontUnderline) || f.hasProperty(QTextFormat::TextUnderlineStyle)
                    ? f.fontUnderline()
                    : fallback.underline();
  c.strike = f.fontStrikeOut();
  if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript) c.vertical = 1;
  if (f.verticalAlignment() == QTextCharFormat::AlignSubScript) c.vertical = -1;
  if (f.hasProperty(QTextFormat::ForegroundBrush)) {
    QColor color = f.foreground().color();
    c.color = static_cast<std::uint32_t>(color.rgb() & 0xFFFFFF);
  }
  return c;
}

}  // namespace

QColor InsertMarkColor() { return QColor(255, 240, 160); }

QTextCharFormat ToCharFormat(const rtf::CharFormat& c) {
  QTextCharFormat f;
  if (!c.font.empty()) f.setFontFamilies(QStringList{QString::fromStdString(c.font)});
  f.setFontPointSize(c.halfPoints / 2.0);
  f.setFontWeight(c.bold ? QFont::Bold : QFont::Normal);
  f.setFontItalic(c.italic);
  f.setFontUnderline(c.underline);
  f.setFontStrikeOut(c.strike);
  if (c.vertical > 0) f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
  if (c.vertical < 0) f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
  if (c.color != rtf::kAutoColor) f.setForeground(QColor(QRgb(0xFF000000u | c.color)));
  return f;
}

QTextBlockFormat ToBlockFormat(const rtf::ParaFormat& p, double dpi) {
  const double u = PixelsPerTwip(dpi);
  QTextBlockFormat f;
  f.setTextIndent(p.firstIndent * u);
  f.setLeftMargin(p.leftIndent * u);
  f.setRightMargin(p.rightIndent * u);
  f.setTopMargin(p.spaceBefore * u);
  f.setBottomMargin(p.spaceAfter * u);
  if (p.lineHeight != 0 && p.lineMultiple) {
    f.setLineHeight(p.lineHeight * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
  } else if (p.lineHeight > 0) {
    f.setLineHeight(p.lineHeight * u, QTextBlockFormat::MinimumHeight);
  } else if (p.lineHeight < 0) {
    f.setLineHeight(-p.lineHeight * u, QTextBlockFormat::FixedHeight);
  }
  switch (p.align) {
    case rtf::Align::Left: f.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute); break;
    case rtf::Align::Center: f.setAlignment(Qt::AlignHCenter); break;
    case rtf::Align::Right: f.setAlignment(Qt::AlignRight | Qt::AlignAbsolute); break;
    case rtf::Align::Justify: f.setAlignment(Qt::AlignJustify); break;
  }
  if (p.pageBreakBefore) f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
  return f;
}

rtf::ParaFormat FromBlockFormat(const QTextBlockFormat& f, double dpi) {
  rtf::ParaFormat p;
  p.firstIndent = Twips(f.textIndent(), dpi);
  p.leftIndent = Twips(f.leftMargin(), dpi);
  p.rightIndent = Twips(f.rightMargin(), dpi);
  p.spaceBefore = Twips(f.topMargin(), dpi);
  p.spaceAfter = Twips(f.bottomMargin(), dpi);
  switch (f.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight:
      if (std::lround(f.lineHeight()) != 100) {
        p.lineHeight = static_cast<int>(std::lround(f.lineHeight() * 240.0 / 100.0));
        p.lineMultiple = true;
      }
      break;
    case QTextBlockFormat::MinimumHeight: p.lineHeight = Twips(f.lineHeight(), dpi); break;
    case QTextBlockFormat::FixedHeight: p.lineHeight = -Twips(f.lineHeight(), dpi); break;
    default: break;
  }
  Qt::Alignment a = f.alignment() & Qt::AlignHorizontal_Mask;
  if (a & Qt::AlignHCenter) p.align = rtf::Align::Center;
  else if (a & Qt::AlignRight) p.align = rtf::Align::Right;
  else if (a & Qt::AlignJustify) p.align = rtf::Align::Justify;
  p.pageBreakBefore = (f.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) != 0;
  return p;
}

void ApplyPageSetup(QTextDocument& doc, const rtf::PageSetup& page, double dpi, bool wrap) {
  const double u = PixelsPerTwip(dpi);
  doc.setDocumentMargin(0);
  QTextFrameFormat frame = doc.rootFrame()->frameFormat();
  frame.setLeftMargin(page.marginLeft * u);
  frame.setRightMargin(page.marginRight * u);
  frame.setTopMargin(page.marginTop * u);
  frame.setBottomMargin(page.marginBottom * u);
  doc.rootFrame()->setFrameFormat(frame);
  doc.setPageSize(QSizeF(page.paperWidth * u, page.paperHeight * u));
  QTextOption option = doc.defaultTextOption();
  option.setWrapMode(wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
  doc.setDefaultTextOption(option);
}

void BuildTextDocument(const rtf::Document& doc, const BuildOptions& options, QTextDocument& out) {
  out.clear();
  QFont base(QString::fromStdString(doc.defaultFont.empty() ? std::string("Arial") : doc.defaultFont));
  base.setPointSizeF(rtf::kDefaultHalfPoints / 2.0);
  if (options.forPrinting) base.setStyleStrategy(QFont::NoAntialias);
  out.setDefaultFont(base);
  out.setUseDesignMetrics(true);
  ApplyPageSetup(out, doc.page, options.dpi);
  SetDocumentDpi(out, options.dpi);

  QTextCursor cursor(&out);
  cursor.beginEditBlock();
  bool first = true;
  for (const rtf::Paragraph& para : doc.paragraphs) {
    QTextBlockFormat block = ToBlockFormat(para.format, options.dpi);
    QTextCharFormat blockChar = para.runs.empty() ? QTextCharFormat() : ToCharFormat(para.runs.front().format);
    if (first) {
      cursor.setBlockFormat(block);
      cursor.setBlockCharFormat(blockChar);
      first = false;
    } else {
      cursor.insertBlock(block, blockChar);
    }
    for (const rtf::Run& run : para.runs) {
      QTextCharFormat f = ToCharFormat(run.format);
      if (options.forPrinting) {
        f.setForeground(Qt::black);
        f.setFontStyleStrategy(QFont::NoAntialias);
      }
      if (run.insertTag != 0) {
        f.setProperty(kInsertTagProperty, run.insertTag);
        if (options.insertMarks && !options.forPrinting) f.setBackground(InsertMarkColor());
      }
      if (run.picture >= 0 && run.picture < static_cast<int>(doc.pictures.size())) {
        InsertModelPicture(cursor, doc.pictures[run.picture], f, options.forPrinting);
        continue;
      }
      QString text = QString::fromStdString(run.text);
      text.replace(QChar(0x2028), QChar::LineSeparator);
      cursor.insertText(text, f);
    }
  }
  cursor.endEditBlock();
}

rtf::Document ModelFromTextDocument(const QTextDocument& in, double dpi, const rtf::PageSetup& page) {
  rtf::Document doc;
  doc.page = page;
  QFont fallback = in.defaultFont();
  doc.defaultFont = fallback.family().toStdString();
  QHash<QString, int> pictures;
  for (QTextBlock block = in.begin(); block.isValid(); block = block.next()) {
    rtf::Paragraph para;
    para.format = FromBlockFormat(block.blockFormat(), dpi);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      QTextFragment fragment = it.fragment();
      if (!fragment.isValid()) continue;
      if (AppendFragmentPictures(in, fragment, FromCharFormat(fragment.charFormat(), fallback), para, doc, pictures)) {
        continue;
      }
      QString text = fragment.text();
      text.remove(QChar::ObjectReplacementCharacter);
      if (text.isEmpty()) continue;
      QTextCharFormat f = fragment.charFormat();
      int tag = f.property(kInsertTagProperty).toInt();
      rtf::AppendText(para, text.toStdString(), FromCharFormat(f, fallback), tag >= 1 && tag <= 5 ? tag : 0);
    }
    doc.paragraphs.push_back(std::move(para));
  }
  return doc;
}

}  // namespace tlm
