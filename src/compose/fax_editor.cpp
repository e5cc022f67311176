#include "compose/fax_editor.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QDateTime>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/field_text.h"
#include "app/help_window.h"
#include "app/message_boxes.h"
#include "app/table_access.h"
#include "app/window_placement.h"
#include "compose/cover_browse.h"
#include "compose/file_pictures.h"
#include "compose/memo_transfer.h"
#include "compose/phone_book.h"
#include "compose/placeholders.h"
#include "richtext/rich_text_editor.h"

namespace tlm {

namespace {

constexpr int kHelpFaxEditor = 1015;
constexpr const char* kWindowClass = "TFaxEditor";

QLineEdit* MakeEdit(QWidget* parent, const char* name, int maxLength, const QString& hint) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setMaxLength(maxLength);
  edit->setToolTip(hint);
  edit->setStatusTip(hint);
  return edit;
}

}  // namespace

TFaxEditor::TFaxEditor(ComposeContext& context, QWidget* parent) : QDialog(parent), context_(context) {
  setObjectName(QStringLiteral("TFaxEditor"));
  setWindowTitle(QStringLiteral("Fax Editor"));
  setSizeGripEnabled(true);

  auto* top = new QHBoxLayout;
  RecipientButton = PageButton("RecipientButton", QStringLiteral("&Recipient Info"), kRecipientPage);
  CoverButton = PageButton("CoverButton", QStringLiteral("&Cover Sheet"), kCoverPage);
  DocumentButton = PageButton("DocumentButton", QStringLiteral("&Fax Document"), kDocumentPage);
  auto* group = new QButtonGroup(this);
  for (QPushButton* b : {RecipientButton, CoverButton, DocumentButton}) {
    group->addButton(b);
    top->addWidget(b);
  }
  Zoombutton = MakeZoomButton(this, [this] { return DocumentButton->isChecked() ? WPDoc : WPCover; });
  top->addWidget(Zoombutton);
  top->addStretch();

  auto* ok = new QPushButton(QStringLiteral("&Accept"), this);
  ok->setObjectName(QStringLiteral("OKButton"));
  ok->setToolTip(QStringLiteral("Ok - save changes to this fax"));
  auto* cancel = new QPushButton(QStringLiteral("Cance&l"), this);
  cancel->setObjectName(QStringLiteral("CancelButton"));
  cancel->setToolTip(QStringLiteral("Cancel - do not save changes to this fax"));
  auto* help = new QPushButton(QStringLiteral("&Help"), this);
  help->setObjectName(QStringLiteral("Helpbutton"));
  for (QPushButton* b : {ok, cancel, help}) {
    b->setAutoDefault(false);
    top->addWidget(b);
  }
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [this] { ShowHelpTopic(this, kHelpFaxEditor); });

  WPCover = new RichTextEditor(this);
  WPCover->setObjectName(QStringLiteral("WPCover"));
  WPDoc = new RichTextEditor(this);
  WPDoc->setObjectName(QStringLiteral("WPDoc"));
  NoteBook = new QStackedWidget(this);
  NoteBook->setObjectName(QStringLiteral("NoteBook"));
  NoteBook->addWidget(BuildRecipientPage());
  NoteBook->addWidget(BuildEditorPage(WPCover, true));
  NoteBook->addWidget(BuildEditorPage(WPDoc, false));
  coverTools_ = AddEditorTools(*WPCover, this, context_.settings);
  docTools_ = AddEditorTools(*WPDoc, this, context_.settings);
  // The document's pages may come from a file, beside the picture tools.
  QAction* insertFile = WPDoc->ToolBar()->addAction(QStringLiteral("Insert File..."));
  insertFile->setObjectName(QStringLiteral("InsertFileAction"));
  insertFile->setToolTip(QStringLiteral("Insert the pages of a PDF file or a picture (Ctrl+Shift+I)"));
  insertFile->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I));
  insertFile->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  WPDoc->addAction(insertFile);
  connect(insertFile, &QAction::triggered, this, qOverload<>(&TFaxEditor::InsertFile));

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(NoteBook, 1);
  resize(880, 620);  // room for every tool of the document's toolbar
  setTabOrder(RecipientEdit, FaxNumberEdit);
  setTabOrder(FaxNumberEdit, SubjectEdit);
  ShowPage(kRecipientPage);
  RestorePlacement(this, QString::fromLatin1(kWindowClass));
}

TFaxEditor::~TFaxEditor() = default;

QPushButton* TFaxEditor::PageButton(const char* name, const QString& caption, Page page) {
  auto* button = new QPushButton(caption, this);
  button->setObjectName(QString::fromLatin1(name));
  button->setCheckable(true);
  button->setAutoDefault(false);
  connect(button, &QPushButton::clicked, this, [this, page] { ShowPage(page); });
  return button;
}

QWidget* TFaxEditor::BuildRecipientPage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("Recipient"));
  RecipientEdit = MakeEdit(page, "Recipient", 35, QStringLiteral("Enter recipient name here"));
  FaxNumberEdit = MakeEdit(page, "FaxNumber", 25, QStringLiteral("Enter recipient fax number here"));
  SubjectEdit = MakeEdit(page, "Subject", 50, QStringLiteral("Enter subject (topic) of fax here"));
  auto* address = new QPushButton(QStringLiteral("&Phonebook"), page);
  address->setObjectName(QStringLiteral("AddressButton"));
  address->setAutoDefault(false);
  connect(address, &QPushButton::clicked, this, &TFaxEditor::ChooseFromPhoneBook);
  auto* form = new QFormLayout;
  auto* recipientRow = new QHBoxLayout;
  recipientRow->addWidget(RecipientEdit, 1);
  recipientRow->addWidget(address);
  form->addRow(QStringLiteral("Recipient"), recipientRow);
  form->addRow(QStringLiteral("Fax Number"), FaxNumberEdit);
  form->addRow(QStringLiteral("Subject"), SubjectEdit);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(form);
  layout->addStretch();
  return page;
}

QWidget* TFaxEditor::BuildEditorPage(RichTextEditor* editor, bool withTemplate) {
  auto* page = new QWidget(this);
  page->setObjectName(withTemplate ? QStringLiteral("Cover Sheet") : QStringLiteral("Fax Document"));
  if (withTemplate) {
    QAction* load = editor->ToolBar()->addAction(QStringLiteral("Template"));
    load->setObjectName(QStringLiteral("LoadTemplateAction"));
    load->setToolTip(QStringLiteral("Load Cover Sheet from Template"));
    connect(load, &QAction::triggered, this, &TFaxEditor::LoadTemplate);
  }
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(editor);
  return page;
}

QString TFaxEditor::Recipient() const { return RecipientEdit->text(); }
QString TFaxEditor::FaxNumber() const { return FaxNumberEdit->text(); }
QString TFaxEditor::Subject() const { return SubjectEdit->text(); }

void TFaxEditor::SetFields(const QString& recipient, const QString& faxNumber, const QString& subject) {
  RecipientEdit->setText(recipient);
  FaxNumberEdit->setText(faxNumber);
  SubjectEdit->setText(subject);
}

void TFaxEditor::ShowPage(Page page) {
  NoteBook->setCurrentIndex(page);
  QPushButton* buttons[] = {RecipientButton, CoverButton, DocumentButton};
  buttons[page]->setChecked(true);
  Zoombutton->setVisible(page != kRecipientPage);
  if (page == kCoverPage) Zoombutton->setText(ZoomCaption(WPCover->Zoom()));
  if (page == kDocumentPage) Zoombutton->setText(ZoomCaption(WPDoc->Zoom()));
  if (page == kRecipientPage) {
    RecipientEdit->setFocus();
  } else {
    (page == kCoverPage ? WPCover : WPDoc)->View()->setFocus();
  }
}

TFaxEditor::Page TFaxEditor::CurrentPage() const { return static_cast<Page>(NoteBook->currentIndex()); }

void TFaxEditor::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  for (RichTextEditor* editor : {WPCover, WPDoc}) {
    SetFaxPage(*editor);
    editor->Reformat();
    editor->CaretToStart();
  }
  ShowPage(kRecipientPage);
}

void TFaxEditor::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (shown_) WPDoc->View()->viewport()->update();
}

void TFaxEditor::ChooseFromPhoneBook() {
  std::unique_ptr<TableAccess> table = context_.tables.OpenPhoneBook();
  if (!table) {
    ShowInformation(this, QStringLiteral("Unable to open/create the phone book datafile"));
    return;
  }
  TPhoneBook book(*table, TPhoneBook::Mode::kChoosing, this);
  CenterWindow(&book);
  if (book.exec() != QDialog::Accepted) return;
  RecipientEdit->setText(book.ChosenName());
  FaxNumberEdit->setText(book.ChosenNumber());
}

void TFaxEditor::InsertFile() {
  const QString path = QFileDialog::getOpenFileName(
      this, QStringLiteral("Insert File"), {},
      QStringLiteral("PDF files and pictures (*.pdf *.tif *.tiff *.png *.jpg *.jpeg *.bmp);;All files (*)"), nullptr,
      QFileDialog::DontUseNativeDialog);
  if (!path.isEmpty()) InsertFile(path);
}

void TFaxEditor::InsertFile(const QString& path) {
  int width = 0, height = 0;
  PictureBoxOf(*WPDoc, width, height);
  QString error;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const std::vector<FilePicture> pictures = ReadFilePictures(path, width, height, kFaxPictureDpi, &error);
  QApplication::restoreOverrideCursor();
  if (pictures.empty()) {
    ShowInformation(this, error);
    return;
  }
  InsertFilePictures(*WPDoc, pictures);
  WPDoc->View()->setFocus();
}

void TFaxEditor::LoadTemplate() {
  std::unique_ptr<TableAccess> table = context_.tables.OpenCoverTable();
  if (!table) return;
  TCoverBrowse browse(*table, TCoverBrowse::Mode::kChoosing, context_, this);
  CenterWindow(&browse);
  if (browse.exec() != QDialog::Accepted || !table->HasCurrentRecord()) return;
  // The template is read aside first, so a damaged one leaves the cover
  // as it was.
  RichTextEditor loaded;
  QString rtfError;
  const QString name = FieldText(table->Field("DESCRIPT"));
  if (!LoadRichText(loaded, context_.folder, [&](const std::string& path) { return table->MemoToFile("COVER", path); },
                    &rtfError) ||
      !rtfError.isEmpty()) {
    ShowInformation(this, QStringLiteral("The cover sheet template \"%1\" cannot be read; the cover sheet is left "
                                         "as it was.")
                              .arg(name));
    return;
  }
  WPCover->Clear();
  WPCover->SetModel(loaded.Model());
  SetFaxPage(*WPCover);
  WPCover->Reformat();
  FillPlaceholders(*WPCover, {Recipient(), FaxNumber(), Subject(), QDateTime::currentDateTime()});
  WPCover->CaretToStart();
}

void TFaxEditor::accept() {
  // A character outside the table's code page can become two (a ligature);
  // nothing is cut silently when the fields are stored.
  const std::pair<QLineEdit*, QString> checks[] = {
      {FaxNumberEdit, FaxNumberProblem(FaxNumber())},
      {RecipientEdit, TypedFieldProblem(QStringLiteral("The recipient"), Recipient(), RecipientEdit->maxLength())},
      {FaxNumberEdit, TypedFieldProblem(QStringLiteral("The fax number"), FaxNumber(), FaxNumberEdit->maxLength())},
      {SubjectEdit, TypedFieldProblem(QStringLiteral("The subject"), Subject(), SubjectEdit->maxLength())}};
  for (const auto& [edit, problem] : checks) {
    if (problem.isEmpty()) continue;
    ShowPage(kRecipientPage);
    ShowInformation(this, problem);
    edit->setFocus();
    return;
  }
  QDialog::accept();
}

void TFaxEditor::done(int result) {
  SavePlacement(this, QString::fromLatin1(kWindowClass));
  QDialog::done(result);
}

}  // namespace tlm
