#pragma once
// The page-oriented rich-text editor used for fax documents and cover sheets.
//
// The text is shown on pages of the document's paper size and margins and
// can be zoomed. Besides editing it offers RTF load and save, tagged insert
// points that its owner fills, paragraph attributes in twips, and painting
// single pages for fax rendering and printing.
#include <QGraphicsView>
#include <QPointer>
#include <QTextCursor>
#include <QWidget>
#include <functional>
#include <memory>

#include "richtext/rtf/rtf_document.h"

class QGraphicsTextItem;
class QPrinter;
class QToolBar;
class QAction;

namespace tlm {

class PageRenderer;
class PageView;

// The attributes of a paragraph, in twips. lineHeight 0 is single spacing.
struct ParagraphAttributes {
  int firstIndent = 0;  // first line, relative to the left indent
  int leftIndent = 0;
  int rightIndent = 0;
  int spaceBefore = 0;
  int spaceAfter = 0;
  int lineHeight = 0;
  bool startsNewPage = false;
};

struct FontChoice {
  QString name = "Arial";
  int size = 10;
  bool bold = false;
  bool italic = false;
  bool underline = false;
};

class RichTextEditor : public QWidget {
  Q_OBJECT

 public:
  // Page-painting mode in which pages end at the layout's page boundaries.
  static constexpr int kPaintLayoutPages = 32;
  static constexpr int kMaxInsertText = 100;

  explicit RichTextEditor(QWidget* parent = nullptr);
  ~RichTextEditor() override;

  // --- content ----------------------------------------------------------
  void Clear();
  // Loads an RTF file; false with a message in `error` when it cannot be
  // read. A damaged file loads as far as it can be read.
  bool LoadRtf(const QString& path, QString* error = nullptr);
  bool SaveRtf(const QString& path, QString* error = nullptr) const;
  bool SetRtfText(const std::string& rtf, QString* error = nullptr);
  std::string RtfText() const;
  rtf::Document Model() const;
  void SetModel(const rtf::Document& doc);

  bool IsEmpty() const;           // no text at all
  int CharacterCount() const;     // characters of the plain text
  int LineCount() const;          // plain text lines (paragraphs and line breaks)
  QString Line(int index) const;  // empty beyond the last line

  // --- page and view ---------------------------------------------------
  void SetPageSetup(const rtf::PageSetup& page);
  rtf::PageSetup PageSetup() const { return page_; }
  void Reformat();  // lay out again and refresh
  void CaretToStart();
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool on);
  int Zoom() const { return zoom_; }
  void SetZoom(int percent);
  // The screen's pixels per inch, the base of the zoom.
  int ScreenPixelsPerInch() const;

  // --- insert points -----------------------------------------------------
  // Inserts at the caret an insert point of `tag` (1 to 5) showing `text`.
  void InsertInsertPoint(int tag, const QString& text);
  // Replaces the text of every insert point with `textOf(tag)`, cut to 100
  // characters; the points stay insert points.
  void FillInsertPoints(const std::function<QString(int tag)>& textOf);
  void SetInsertMarksVisible(bool visible);
  void HideInsertMarks() { SetInsertMarksVisible(false); }
  bool InsertMarksVisible() const { return marksVisible_; }
  // Turns every insert point into ordinary text with the same characters and
  // font, so it lays out exactly as typed text does.
  void DissolveInsertPoints();

  // --- the current paragraph and the writing font -----------------------
  ParagraphAttributes CurrentParagraph() const;
  void SetCurrentParagraph(const ParagraphAttributes& attributes);
  void SetStartsNewPage(bool on);
  // Sets the font for what is typed next; on an empty text it becomes the
  // font of the whole text.
  void ApplyFont(const FontChoice& font);

  // --- painting and printing --------------------------------------------
  void SetPagePaintMode(int mode);
  int PagePaintMode() const { return paintMode_; }
  // Paints the page that starts at `firstLine` onto `canvas` with the
  // paper's corner at (x, y), within width x height pixels, at the screen
  // resolution times the zoom. Returns the first line of the next page or 0.
  int PaintPage(QPainter* canvas, int x, int y, int width, int height, int firstLine, bool paint);
  // Prints every page; false when the printer could not be started.
  bool Print(QPrinter& printer);

  // A read-only editor shows and selects text but does not change it.
  void SetReadOnly(bool readOnly);

  // --- hosting ----------------------------------------------------------
  QToolBar* ToolBar() const { return toolBar_; }
  QTextDocument* Document() const;
  QTextCursor TextCursor() const;
  void SetTextCursor(const QTextCursor& cursor);
  QAction* SpellCheckAction() const { return spellAction_; }
  QGraphicsView* View() const;

 signals:
  // The spell-check command; the owner opens the spell checker.
  void SpellCheckRequested();
  void Changed();
  // A picture was double-clicked; it is selected.
  void PictureDoubleClicked();

 private:
  double EditDpi() const;
  PageRenderer& Renderer();
  void ApplyLayout();
  void BuildToolBar();
  void ToggleCharFormat(int property);

  QToolBar* toolBar_ = nullptr;
  PageView* view_ = nullptr;
  QGraphicsTextItem* text_ = nullptr;
  QAction* spellAction_ = nullptr;
  rtf::PageSetup page_;
  bool wordWrap_ = true;
  int zoom_ = 100;
  bool marksVisible_ = true;
  int paintMode_ = 0;
  std::unique_ptr<PageRenderer> renderer_;
  int rendererZoom_ = 0;
  int rendererMode_ = -1;
};

}  // namespace tlm
