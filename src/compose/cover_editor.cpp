#include "compose/cover_editor.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/help_window.h"
#include "app/window_placement.h"
#include "compose/placeholders.h"
#include "richtext/rich_text_editor.h"

namespace tlm {

namespace {

constexpr int kHelpCoverEditor = 1018;
constexpr const char* kWindowClass = "TCoverEditor";

}  // namespace

TCoverEditor::TCoverEditor(ComposeContext& context, QWidget* parent) : QDialog(parent), context_(context) {
  setObjectName(QStringLiteral("TCoverEditor"));
  setWindowTitle(QStringLiteral("Cover Sheet Template Editor"));
  setSizeGripEnabled(true);

  CoverDescription = new QLineEdit(this);
  CoverDescription->setObjectName(QStringLiteral("CoverDescription"));
  CoverDescription->setMaxLength(35);
  CoverDescription->setToolTip(QStringLiteral("Enter a description for this cover sheet template here"));
  auto* descriptionLabel = new QLabel(QStringLiteral("&Description"), this);
  descriptionLabel->setBuddy(CoverDescription);

  WPCover = new RichTextEditor(this);
  WPCover->setObjectName(QStringLiteral("WPCover"));
  tools_ = AddEditorTools(*WPCover, this, context_.settings);

  InsertButton = new QPushButton(QStringLiteral("&Insert"), this);
  InsertButton->setObjectName(QStringLiteral("InsertButton"));
  InsertButton->setToolTip(QStringLiteral("Insert a field from the recipient data, or the current date and time"));
  InsertButton->setAutoDefault(false);
  auto* insertMenu = new QMenu(InsertButton);
  insertMenu->setObjectName(QStringLiteral("InsertMenu"));
  for (const Placeholder& p : kPlaceholders) {
    QAction* item = insertMenu->addAction(QString::fromLatin1(p.menuItem));
    connect(item, &QAction::triggered, this, [this, item] { InsertPlaceholder(PlaceholderTagOfMenuItem(item->text())); });
  }
  InsertButton->setMenu(insertMenu);
  Zoombutton = MakeZoomButton(this, [this] { return WPCover; });

  auto* ok = new QPushButton(QStringLiteral("&Accept"), this);
  ok->setObjectName(QStringLiteral("OKButton"));
  ok->setToolTip(QStringLiteral("Ok - save changes to this template"));
  auto* cancel = new QPushButton(QStringLiteral("Cance&l"), this);
  cancel->setObjectName(QStringLiteral("CancelButton"));
  cancel->setToolTip(QStringLiteral("Cancel - do not save changes to this template"));
  auto* help = new QPushButton(QStringLiteral("&Help"), this);
  help->setObjectName(QStringLiteral("Helpbutton"));
  for (QPushButton* b : {ok, cancel, help}) b->setAutoDefault(false);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [this] { ShowHelpTopic(this, kHelpCoverEditor); });

  auto* top = new QHBoxLayout;
  top->addWidget(descriptionLabel);
  top->addWidget(CoverDescription, 1);
  top->addWidget(InsertButton);
  top->addWidget(Zoombutton);
  top->addWidget(ok);
  top->addWidget(cancel);
  top->addWidget(help);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(WPCover, 1);
  resize(760, 620);
  RestorePlacement(this, QString::fromLatin1(kWindowClass));
}

QString TCoverEditor::Description() const { return CoverDescription->text(); }
void TCoverEditor::SetDescription(const QString& description) { CoverDescription->setText(description); }

void TCoverEditor::InsertPlaceholder(int tag) {
  for (const Placeholder& p : kPlaceholders) {
    if (p.tag == tag) WPCover->InsertInsertPoint(tag, QString::fromLatin1(p.displayText));
  }
  WPCover->View()->setFocus();
}

void TCoverEditor::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  SetFaxPage(*WPCover);
  WPCover->Reformat();
  CoverDescription->setFocus();
}

void TCoverEditor::done(int result) {
  SavePlacement(this, QString::fromLatin1(kWindowClass));
  QDialog::done(result);
}

}  // namespace tlm
