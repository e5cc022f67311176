#include "compose/editor_tools.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <functional>

#include "app/core/settings.h"
#include "app/message_boxes.h"
#include "app/window_placement.h"
#include "compose/compose_context.h"
#include "compose/paragraph_prop_dlg.h"
#include "compose/picture_size_dlg.h"
#include "richtext/default_font.h"
#include "richtext/picture_tools.h"
#include "richtext/rich_text_editor.h"
#include "richtext/spell_check_dialog.h"

namespace tlm {

namespace {

void ShowWordWrap(QAction* action, bool on) {
  action->setChecked(on);
  const QString hint = on ? QStringLiteral("Toggle word wrap off") : QStringLiteral("Toggle word wrap on");
  action->setToolTip(hint);
  action->setStatusTip(hint);
}

// "Insert Picture..." and "Picture Size...".
void AddPictureTools(EditorTools& tools, QToolBar& bar, QWidget* owner, RichTextEditor* target) {
  tools.insertPicture = bar.addAction(QStringLiteral("Insert Picture..."));
  tools.insertPicture->setObjectName(QStringLiteral("InsertPictureAction"));
  tools.insertPicture->setToolTip(QStringLiteral("Insert a picture from a file"));
  QObject::connect(tools.insertPicture, &QAction::triggered, owner, [owner, target] {
    const QString path = QFileDialog::getOpenFileName(
        owner, QStringLiteral("Insert Picture"), {},
        QStringLiteral("Pictures (*.png *.jpg *.jpeg *.bmp *.gif);;All files (*)"), nullptr,
        QFileDialog::DontUseNativeDialog);
    if (path.isEmpty()) return;
    QTextCursor cursor = target->TextCursor();
    QString error;
    if (!InsertPictureFile(cursor, path, &error)) {
      ShowInformation(owner, error);
      return;
    }
    target->SetTextCursor(cursor);
  });

  // "Picture Size..." drops down under the same button: the toolbar is full.
  tools.pictureSize = new QAction(QStringLiteral("Picture Size..."), &bar);
  tools.pictureSize->setObjectName(QStringLiteral("PictureSizeAction"));
  tools.pictureSize->setToolTip(QStringLiteral("Change the size of the picture at the cursor"));
  QObject::connect(tools.pictureSize, &QAction::triggered, owner, [owner, target] { EditPictureSize(*target, owner); });
  QObject::connect(target, &RichTextEditor::PictureDoubleClicked, owner,
                   [owner, target] { EditPictureSize(*target, owner); });
  if (auto* button = qobject_cast<QToolButton*>(bar.widgetForAction(tools.insertPicture))) {
    auto* menu = new QMenu(button);
    menu->addAction(tools.insertPicture);
    menu->addAction(tools.pictureSize);
    button->setMenu(menu);
    button->setPopupMode(QToolButton::MenuButtonPopup);
  }
}

}  // namespace

void SetFaxPage(RichTextEditor& editor) {
  rtf::PageSetup page;
  page.paperWidth = kLetterWidthTwips;
  page.paperHeight = kLetterHeightTwips;
  page.marginLeft = page.marginRight = page.marginTop = page.marginBottom = kFaxMarginTwips;
  if (!(editor.PageSetup() == page)) editor.SetPageSetup(page);
}

EditorTools AddEditorTools(RichTextEditor& editor, QWidget* owner, Settings& settings) {
  QToolBar* bar = editor.ToolBar();
  bar->addSeparator();
  EditorTools tools;
  RichTextEditor* target = &editor;

  tools.pageBreak = bar->addAction(QStringLiteral("Page Break"));
  tools.pageBreak->setObjectName(QStringLiteral("PageBreakAction"));
  tools.pageBreak->setToolTip(QStringLiteral("Insert Page Break"));
  QObject::connect(tools.pageBreak, &QAction::triggered, owner, [owner, target] {
    if (!AskYesNo(owner, QStringLiteral("Add a page break here?"), QStringLiteral("Page Break"))) return;
    target->SetStartsNewPage(true);
    target->Reformat();
  });

  tools.paragraph = bar->addAction(QStringLiteral("Paragraph"));
  tools.paragraph->setObjectName(QStringLiteral("ParagraphAction"));
  tools.paragraph->setToolTip(QStringLiteral("Paragraph properties"));
  QObject::connect(tools.paragraph, &QAction::triggered, owner, [owner, target] {
    TParagraphPropDlg dialog(*target, owner);
    CenterWindow(&dialog);
    if (dialog.exec() == QDialog::Accepted) target->Reformat();
  });

  tools.wordWrap = bar->addAction(QStringLiteral("Wrap"));
  tools.wordWrap->setObjectName(QStringLiteral("WordWrapAction"));
  tools.wordWrap->setCheckable(true);
  ShowWordWrap(tools.wordWrap, editor.WordWrap());
  QAction* wrap = tools.wordWrap;
  QObject::connect(wrap, &QAction::triggered, owner, [target, wrap](bool on) {
    target->SetWordWrap(on);
    ShowWordWrap(wrap, target->WordWrap());
  });

  tools.defaultFont = bar->addAction(QStringLiteral("Font"));
  tools.defaultFont->setObjectName(QStringLiteral("DefaultFontAction"));
  tools.defaultFont->setToolTip(QStringLiteral("Set the default font for the editor"));
  Settings* current = &settings;
  QObject::connect(tools.defaultFont, &QAction::triggered, owner, [owner, target, current] {
    if (ChooseDefaultFont(owner, *current)) ApplyDefaultFont(*target, *current);
  });

  AddPictureTools(tools, *bar, owner, target);

  QObject::connect(&editor, &RichTextEditor::SpellCheckRequested, owner,
                   [owner, target] { RunSpellCheck(target, owner, [](QWidget* w) { CenterWindow(w); }); });
  return tools;
}

QString ZoomCaption(int percent) { return QString::number(percent) + QLatin1Char('%'); }

QToolButton* MakeZoomButton(QWidget* owner, const std::function<RichTextEditor*()>& editorOf) {
  auto* button = new QToolButton(owner);
  button->setObjectName(QStringLiteral("Zoombutton"));
  button->setText(ZoomCaption(100));
  button->setPopupMode(QToolButton::InstantPopup);
  auto* menu = new QMenu(button);
  menu->setObjectName(QStringLiteral("ZoomMenu"));
  for (int percent : {70, 80, 100}) {
    QAction* item = menu->addAction(ZoomCaption(percent));
    item->setCheckable(true);
    QObject::connect(item, &QAction::triggered, button, [button, editorOf, percent] {
      if (RichTextEditor* editor = editorOf()) editor->SetZoom(percent);
      button->setText(ZoomCaption(percent));
    });
  }
  QObject::connect(menu, &QMenu::aboutToShow, button, [menu, editorOf] {
    const RichTextEditor* editor = editorOf();
    for (QAction* item : menu->actions()) item->setChecked(editor && item->text() == ZoomCaption(editor->Zoom()));
  });
  button->setMenu(menu);
  return button;
}

}  // namespace tlm
