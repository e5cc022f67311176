#include "richtext/rich_text_editor.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QPageSize>
#include <QPrinter>
#include <QTextBlock>
#include <QToolBar>
#include <QVBoxLayout>
#include <cmath>
#include <vector>

#include "platform/file_util.h"
#include "richtext/page_renderer.h"
#include "richtext/page_view.h"
#include "richtext/rtf/rtf_reader.h"
#include "richtext/rtf/rtf_writer.h"
#include "richtext/text_document_model.h"

namespace tlm {
namespace {

// A run of text that forms one insert point.
struct InsertRange {
  int start;
  int end;
  int tag;
  QTextCharFormat format;
};

std::vector<InsertRange> FindInsertPoints(const QTextDocument& doc) {
  std::vector<InsertRange> ranges;
  for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      QTextFragment f = it.fragment();
      int tag = f.charFormat().property(kInsertTagProperty).toInt();
      if (tag == 0) continue;
      if (!ranges.empty() && ranges.back().end == f.position() && ranges.back().tag == tag) {
        ranges.back().end = f.position() + f.length();
      } else {
        ranges.push_back({f.position(), f.position() + f.length(), tag, f.charFormat()});
      }
    }
  }
  return ranges;
}

}  // namespace

RichTextEditor::RichTextEditor(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  toolBar_ = new QToolBar(this);
  layout->addWidget(toolBar_);
  auto* scene = new QGraphicsScene(this);
  view_ = new PageView(scene, this);
  layout->addWidget(view_, 1);

  auto* text = new PageTextItem();
  text->pictureDoubleClicked = [this] { emit PictureDoubleClicked(); };
  text->setTextInteractionFlags(Qt::TextEditorInteraction);
  auto* doc = new QTextDocument(text);
  doc->setUseDesignMetrics(true);
  text->setDocument(doc);
  scene->addItem(text);
  text_ = text;
  view_->SetText(text);
  connect(doc->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
          [this] { view_->UpdatePages(); });
  connect(doc, &QTextDocument::contentsChanged, this, [this] {
    renderer_.reset();
    emit Changed();
  });
  setFocusProxy(view_);
  BuildToolBar();
  Clear();
}

RichTextEditor::~RichTextEditor() = default;

void RichTextEditor::BuildToolBar() {
  auto add = [this](const QString& text, const QString& tip, auto slot) {
    QAction* action = toolBar_->addAction(text, this, slot);
    action->setToolTip(tip);
    return action;
  };
  QAction* bold = add("B", "Bold", [this] { ToggleCharFormat(QTextFormat::FontWeight); });
  bold->setShortcut(QKeySequence::Bold);
  QFont f = bold->font();
  f.setBold(true);
  bold->setFont(f);
  QAction* italic = add("I", "Italic", [this] { ToggleCharFormat(QTextFormat::FontItalic); });
  italic->setShortcut(QKeySequence::Italic);
  QAction* underline = add("U", "Underline", [this] { ToggleCharFormat(QTextFormat::FontUnderline); });
  underline->setShortcut(QKeySequence::Underline);
  toolBar_->addSeparator();
  auto align = [this](Qt::Alignment a) {
    QTextCursor c = text_->textCursor();
    QTextBlockFormat f;
    f.setAlignment(a);
    c.mergeBlockFormat(f);
  };
  add("Left", "Align left", [=] { align(Qt::AlignLeft | Qt::AlignAbsolute); });
  add("Center", "Centre", [=] { align(Qt::AlignHCenter); });
  add("Right", "Align right", [=] { align(Qt::AlignRight | Qt::AlignAbsolute); });
  toolBar_->addSeparator();
  spellAction_ = add("Spell Check", "Check the spelling", [this] { emit SpellCheckRequested(); });
  spellAction_->setShortcut(Qt::Key_F7);
  toolBar_->addSeparator();
}

void RichTextEditor::ToggleCharFormat(int property) {
  QTextCursor c = text_->textCursor();
  QTextCharFormat current = c.charFormat();
  QTextCharFormat change;
  switch (property) {
    case QTextFormat::FontWeight:
      change.setFontWeight(current.fontWeight() >= QFont::DemiBold ? QFont::Normal : QFont::Bold);
      break;
    case QTextFormat::FontItalic: change.setFontItalic(!current.fontItalic()); break;
    default: change.setFontUnderline(!current.fontUnderline()); break;
  }
  c.mergeCharFormat(change);
  text_->setTextCursor(c);
}

double RichTextEditor::EditDpi() const { return ScreenPixelsPerInch(); }

int RichTextEditor::ScreenPixelsPerInch() const { return static_cast<int>(LayoutDpi()); }

void RichTextEditor::SetReadOnly(bool readOnly) {
  text_->setTextInteractionFlags(readOnly ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard
                                          : Qt::TextEditorInteraction);
  for (QAction* action : toolBar_->actions()) {
    if (action != spellAction_ && !action->isSeparator()) action->setEnabled(!readOnly);
  }
}

QGraphicsView* RichTextEditor::View() const { return view_; }

QTextDocument* RichTextEditor::Document() const { return text_->document(); }
QTextCursor RichTextEditor::TextCursor() const { return text_->textCursor(); }
void RichTextEditor::SetTextCursor(const QTextCursor& cursor) { text_->setTextCursor(cursor); }

// --- content ---------------------------------------------------------------

void RichTextEditor::Clear() {
  QTextDocument* doc = Document();
  doc->clear();
  // A new text starts in RTF's default font and size until the owner
  // applies its default font.
  QFont base("Arial");
  base.setPointSizeF(rtf::kDefaultHalfPoints / 2.0);
  doc->setDefaultFont(base);
  ApplyLayout();
  renderer_.reset();
}

void RichTextEditor::SetModel(const rtf::Document& model) {
  page_ = rtf::NormalizedPageSetup(model.page);
  BuildOptions options;
  options.dpi = EditDpi();
  options.insertMarks = marksVisible_;
  BuildTextDocument(model, options, *Document());
  ApplyLayout();
  renderer_.reset();
}

rtf::Document RichTextEditor::Model() const { return ModelFromTextDocument(*Document(), EditDpi(), page_); }

bool RichTextEditor::SetRtfText(const std::string& rtfText, QString* error) {
  rtf::Document model;
  std::string message;
  bool ok = rtf::ReadRtf(rtfText, model, &message);
  SetModel(model);
  if (!ok && error) *error = QString::fromStdString(message);
  return ok;
}

std::string RichTextEditor::RtfText() const { return rtf::WriteRtf(Model()); }

bool RichTextEditor::LoadRtf(const QString& path, QString* error) {
  std::string bytes;
  if (!ReadWholeFile(path.toStdString(), bytes)) {
    Clear();
    if (error) *error = QString("Cannot read %1").arg(path);
    return false;
  }
  return SetRtfText(bytes, error);
}

bool RichTextEditor::SaveRtf(const QString& path, QString* error) const {
  std::string message;
  if (WriteFileAtomically(path.toStdString(), RtfText(), &message)) return true;
  if (error) *error = QString("Cannot write %1: %2").arg(path, QString::fromStdString(message));
  return false;
}

bool RichTextEditor::IsEmpty() const { return Document()->toPlainText().isEmpty(); }
int RichTextEditor::CharacterCount() const { return static_cast<int>(Document()->toPlainText().size()); }
int RichTextEditor::LineCount() const { return static_cast<int>(Document()->toPlainText().count('\n')) + 1; }

QString RichTextEditor::Line(int index) const {
  QStringList lines = Document()->toPlainText().split('\n');
  return index >= 0 && index < lines.size() ? lines[index] : QString();
}

// --- page and view -----------------------------------------------------------

void RichTextEditor::ApplyLayout() {
  ApplyPageSetup(*Document(), page_, EditDpi(), wordWrap_);
  view_->UpdatePages();
}

void RichTextEditor::SetPageSetup(const rtf::PageSetup& page) {
  page_ = rtf::NormalizedPageSetup(page);
  ApplyLayout();
  renderer_.reset();
}

void RichTextEditor::Reformat() {
  QTextDocument* doc = Document();
  doc->markContentsDirty(0, doc->characterCount());
  view_->UpdatePages();
  view_->viewport()->update();
}

void RichTextEditor::CaretToStart() {
  QTextCursor c = text_->textCursor();
  c.movePosition(QTextCursor::Start);
  text_->setTextCursor(c);
  view_->ensureVisible(QRectF(0, 0, 1, 1));
}

void RichTextEditor::SetWordWrap(bool on) {
  wordWrap_ = on;
  ApplyLayout();
}

void RichTextEditor::SetZoom(int percent) {
  zoom_ = std::clamp(percent, 10, 1000);
  view_->setTransform(QTransform::fromScale(zoom_ / 100.0, zoom_ / 100.0));
}

// --- insert points -------------------------------------------------------------

void RichTextEditor::InsertInsertPoint(int tag, const QString& text) {
  if (tag < 1 || tag > 5 || text.isEmpty()) return;
  QTextCursor c = text_->textCursor();
  QTextCharFormat plain = c.charFormat();
  plain.clearProperty(kInsertTagProperty);
  plain.clearBackground();
  QTextCharFormat point = plain;
  point.setProperty(kInsertTagProperty, tag);
  if (marksVisible_) point.setBackground(InsertMarkColor());
  c.insertText(text, point);
  c.setCharFormat(plain);  // what is typed next is ordinary text
  text_->setTextCursor(c);
}

void RichTextEditor::FillInsertPoints(const std::function<QString(int tag)>& textOf) {
  std::vector<InsertRange> ranges = FindInsertPoints(*Document());
  QTextCursor c(Document());
  c.beginEditBlock();
  for (auto it = ranges.rbegin(); it != ranges.rend(); ++it) {
    QString text = textOf(it->tag).left(kMaxInsertText);
    text.replace('\n', ' ').replace('\r', ' ');
    if (text.isEmpty()) text = " ";  // an insert point keeps at least one character
    c.setPosition(it->start);
    c.setPosition(it->end, QTextCursor::KeepAnchor);
    c.insertText(text, it->format);
  }
  c.endEditBlock();
}

void RichTextEditor::SetInsertMarksVisible(bool visible) {
  marksVisible_ = visible;
  QTextCursor c(Document());
  c.beginEditBlock();
  for (const InsertRange& range : FindInsertPoints(*Document())) {
    c.setPosition(range.start);
    c.setPosition(range.end, QTextCursor::KeepAnchor);
    QTextCharFormat f = range.format;
    if (visible) f.setBackground(InsertMarkColor());
    else f.clearBackground();
    c.setCharFormat(f);
  }
  c.endEditBlock();
}

void RichTextEditor::DissolveInsertPoints() {
  QTextCursor c(Document());
  c.beginEditBlock();
  for (const InsertRange& range : FindInsertPoints(*Document())) {
    c.setPosition(range.start);
    c.setPosition(range.end, QTextCursor::KeepAnchor);
    QTextCharFormat f = range.format;
    f.clearProperty(kInsertTagProperty);
    f.clearBackground();
    c.setCharFormat(f);
  }
  c.endEditBlock();
}

// --- paragraph and font ----------------------------------------------------------

ParagraphAttributes RichTextEditor::CurrentParagraph() const {
  rtf::ParaFormat p = FromBlockFormat(text_->textCursor().blockFormat(), EditDpi());
  ParagraphAttributes a;
  a.firstIndent = p.firstIndent;
  a.leftIndent = p.leftIndent;
  a.rightIndent = p.rightIndent;
  a.spaceBefore = p.spaceBefore;
  a.spaceAfter = p.spaceAfter;
  a.lineHeight = p.lineMultiple ? 0 : std::abs(p.lineHeight);
  a.startsNewPage = p.pageBreakBefore;
  return a;
}

void RichTextEditor::SetCurrentParagraph(const ParagraphAttributes& a) {
  QTextCursor c = text_->textCursor();
  rtf::ParaFormat p = FromBlockFormat(c.blockFormat(), EditDpi());
  p.firstIndent = a.firstIndent;
  p.leftIndent = a.leftIndent;
  p.rightIndent = a.rightIndent;
  p.spaceBefore = std::max(0, a.spaceBefore);
  p.spaceAfter = std::max(0, a.spaceAfter);
  p.lineHeight = std::max(0, a.lineHeight);
  p.lineMultiple = false;
  p.pageBreakBefore = a.startsNewPage;
  c.setBlockFormat(ToBlockFormat(p, EditDpi()));
  text_->setTextCursor(c);
}

void RichTextEditor::SetStartsNewPage(bool on) {
  ParagraphAttributes a = CurrentParagraph();
  a.startsNewPage = on;
  SetCurrentParagraph(a);
}

void RichTextEditor::ApplyFont(const FontChoice& font) {
  rtf::CharFormat c;
  c.font = font.name.toStdString();
  c.halfPoints = std::max(2, font.size * 2);
  c.bold = font.bold;
  c.italic = font.italic;
  c.underline = font.underline;
  QTextCharFormat f = ToCharFormat(c);
  QTextCursor cursor = text_->textCursor();
  if (IsEmpty()) {
    QFont base(font.name);
    base.setPointSize(std::max(1, font.size));
    base.setBold(font.bold);
    base.setItalic(font.italic);
    base.setUnderline(font.underline);
    Document()->setDefaultFont(base);
    cursor.select(QTextCursor::Document);
    cursor.setBlockCharFormat(f);
    cursor.clearSelection();
  }
  cursor.setCharFormat(f);
  text_->setTextCursor(cursor);
}

// --- painting and printing ----------------------------------------------------

void RichTextEditor::SetPagePaintMode(int mode) {
  paintMode_ = mode;
  renderer_.reset();
}

PageRenderer& RichTextEditor::Renderer() {
  if (!renderer_ || rendererZoom_ != zoom_ || rendererMode_ != paintMode_) {
    double dpi = ScreenPixelsPerInch() * zoom_ / 100.0;
    renderer_ = std::make_unique<PageRenderer>(Model(), dpi, paintMode_ == kPaintLayoutPages);
    rendererZoom_ = zoom_;
    rendererMode_ = paintMode_;
  }
  return *renderer_;
}

int RichTextEditor::PaintPage(QPainter* canvas, int x, int y, int width, int height, int firstLine, bool paint) {
  return Renderer().PaintPage(canvas, x, y, width, height, firstLine, paint);
}

bool RichTextEditor::Print(QPrinter& printer) {
  // The paper is the document's own; the document's margins are its margins.
  printer.setPageSize(QPageSize(QSizeF(page_.paperWidth / 1440.0, page_.paperHeight / 1440.0), QPageSize::Inch,
                                QString(), QPageSize::FuzzyOrientationMatch));
  printer.setPageMargins(QMarginsF(0, 0, 0, 0));
  printer.setFullPage(true);
  PageRenderer renderer(Model(), printer.resolution(), true);
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  QRect paper = printer.paperRect(QPrinter::DevicePixel).toRect();
  int line = 0;
  do {
    line = renderer.PaintPage(&painter, 0, 0, paper.width(), paper.height(), line, true);
    if (line > 0) printer.newPage();
  } while (line > 0);
  painter.end();
  return true;
}

}  // namespace tlm
