#include "compose/table_tools.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

#include "app/window_placement.h"
#include "compose/table_dialogs.h"
#include "richtext/rich_text_editor.h"
#include "richtext/table_editing.h"

namespace tlm {

QToolButton* AddTableTools(RichTextEditor& editor, QWidget* owner) {
  auto* button = new QToolButton(editor.ToolBar());
  button->setObjectName(QStringLiteral("TableButton"));
  button->setText(QStringLiteral("Table"));
  button->setToolTip(QStringLiteral("Insert and change tables"));
  button->setPopupMode(QToolButton::InstantPopup);
  auto* menu = new QMenu(button);
  menu->setObjectName(QStringLiteral("TableMenu"));
  RichTextEditor* target = &editor;

  // An item of the menu, its key active while the editor has the focus.
  auto add = [&](const char* name, const QString& text, const QKeySequence& key, auto run) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(key);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    target->addAction(action);
    QObject::connect(action, &QAction::triggered, owner, run);
    return action;
  };
  QAction* insert = add("InsertTableAction", QStringLiteral("&Insert Table..."), QKeySequence(QStringLiteral("Ctrl+Shift+T")),
                        [owner, target] {
                          if (CaretInTable(*target)) return;
                          TInsertTableDlg dialog(owner);
                          CenterWindow(&dialog);
                          if (dialog.exec() == QDialog::Accepted) InsertTableAtCaret(*target, dialog.Rows(), dialog.Columns());
                          target->setFocus();
                        });
  menu->addSeparator();
  QList<QAction*> inTable;
  inTable << add("InsertRowAction", QStringLiteral("Insert &Row Below"), QKeySequence(QStringLiteral("Ctrl+Shift+R")),
                 [target] { InsertTableRow(*target, true); });
  inTable << add("InsertColumnAction", QStringLiteral("Insert &Column Right"),
                 QKeySequence(QStringLiteral("Ctrl+Shift+C")), [target] { InsertTableColumn(*target, true); });
  inTable << add("DeleteRowAction", QStringLiteral("&Delete Row"), QKeySequence(QStringLiteral("Ctrl+Shift+D")),
                 [target] { RemoveTableRow(*target); });
  inTable << add("DeleteColumnAction", QStringLiteral("Delete Co&lumn"),
                 QKeySequence(QStringLiteral("Ctrl+Shift+L")), [target] { RemoveTableColumn(*target); });
  menu->addSeparator();
  inTable << add("ColumnWidthAction", QStringLiteral("Column &Width..."), QKeySequence(QStringLiteral("Ctrl+Shift+W")),
                 [owner, target] {
                   const int width = TableColumnWidth(*target);
                   if (width <= 0) return;
                   const rtf::PageSetup page = target->PageSetup();
                   TColumnWidthDlg dialog(width, page.paperWidth - page.marginLeft - page.marginRight, owner);
                   CenterWindow(&dialog);
                   if (dialog.exec() == QDialog::Accepted) SetTableColumnWidth(*target, dialog.Twips());
                   target->setFocus();
                 });
  QObject::connect(menu, &QMenu::aboutToShow, button, [target, insert, inTable] {
    const bool in = CaretInTable(*target);
    insert->setEnabled(!in);
    for (QAction* action : inTable) action->setEnabled(in);
  });
  // The keys work whenever the editor has the focus; outside a table the
  // row and column commands do nothing.
  QObject::connect(menu, &QMenu::aboutToHide, button, [insert, inTable] {
    insert->setEnabled(true);
    for (QAction* action : inTable) action->setEnabled(true);
  });
  button->setMenu(menu);
  editor.ToolBar()->addWidget(button);
  return button;
}

}  // namespace tlm
