#pragma once
// "Fax Editor": the recipient data, the cover sheet and the document of one
// outgoing fax. The caller loads a record into it and writes it back on OK.
#include <QDialog>

#include "compose/compose_context.h"
#include "compose/editor_tools.h"

class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace tlm {

class RichTextEditor;

class TFaxEditor : public QDialog {
  Q_OBJECT
 public:
  explicit TFaxEditor(ComposeContext& context, QWidget* parent = nullptr);
  ~TFaxEditor() override;

  RichTextEditor* Cover() const { return WPCover; }
  RichTextEditor* Document() const { return WPDoc; }

  QString Recipient() const;
  QString FaxNumber() const;
  QString Subject() const;
  void SetFields(const QString& recipient, const QString& faxNumber, const QString& subject);

  enum Page { kRecipientPage, kCoverPage, kDocumentPage };
  void ShowPage(Page page);
  Page CurrentPage() const;

  // "Load Template": a template chosen in the template browser becomes the
  // cover, its placeholders filled from the fields as they stand now.
  void LoadTemplate();
  // "&Phonebook": the chosen entry's name and number go into the fields.
  void ChooseFromPhoneBook();
  // "Insert File...": the pages of a PDF file or a picture file chosen in a
  // file dialog go into the document, a page each.
  void InsertFile();
  // The same for a given file; a file that cannot be used is said so in a
  // message box and leaves the document as it was.
  void InsertFile(const QString& path);

  void accept() override;
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QWidget* BuildRecipientPage();
  QWidget* BuildEditorPage(RichTextEditor* editor, bool withTemplate);
  QPushButton* PageButton(const char* name, const QString& caption, Page page);

  ComposeContext& context_;
  bool shown_ = false;
  QStackedWidget* NoteBook = nullptr;
  QPushButton* RecipientButton = nullptr;
  QPushButton* CoverButton = nullptr;
  QPushButton* DocumentButton = nullptr;
  QToolButton* Zoombutton = nullptr;
  QLineEdit* RecipientEdit = nullptr;
  QLineEdit* FaxNumberEdit = nullptr;
  QLineEdit* SubjectEdit = nullptr;
  RichTextEditor* WPCover = nullptr;
  RichTextEditor* WPDoc = nullptr;
  EditorTools coverTools_;
  EditorTools docTools_;
};

}  // namespace tlm
