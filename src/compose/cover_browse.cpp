#include "compose/cover_browse.h"

#include <QApplication>
#include <QPushButton>
#include <QTableView>

#include "app/field_text.h"
#include "app/message_boxes.h"
#include "app/table_access.h"
#include "app/window_placement.h"
#include "compose/cover_editor.h"
#include "compose/table_memos.h"
#include "richtext/default_font.h"
#include "richtext/rich_text_editor.h"

namespace tlm {

namespace {

constexpr int kHelpCoverBrowse = 1017;

std::vector<LogColumn> CoverColumns() {
  return {{QStringLiteral("Description"), "DESCRIPT", LogColumn::Kind::kText, 35}};
}

}  // namespace

TCoverBrowse::TCoverBrowse(TableAccess& table, Mode mode, ComposeContext& context, QWidget* parent)
    : TableBrowser(table, CoverColumns(), mode, "CoverGrid", parent), context_(context) {
  setObjectName(QStringLiteral("TCoverBrowse"));
  setWindowTitle(QStringLiteral("Cover Sheet Template Browser"));
  QPushButton* add = AddButton("NewButton", QStringLiteral("&New"), {});
  QPushButton* edit = AddButton("EditButton", QStringLiteral("&Edit"), {});
  QPushButton* clone = AddButton("CloneButton", QStringLiteral("&Clone"), {});
  QPushButton* remove = AddButton("DeleteButton", QStringLiteral("&Delete"), {});
  recordButtons_ = {edit, clone, remove};
  AddClosingButtons(QStringLiteral("Use this cover sheet template"),
                    QStringLiteral("Cancel - do not use any of these templates"), kHelpCoverBrowse);
  connect(add, &QPushButton::clicked, this, &TCoverBrowse::NewTemplate);
  connect(edit, &QPushButton::clicked, this, &TCoverBrowse::EditTemplate);
  connect(clone, &QPushButton::clicked, this, &TCoverBrowse::CloneTemplate);
  connect(remove, &QPushButton::clicked, this, &TCoverBrowse::DeleteTemplate);
  connect(Grid(), &QTableView::doubleClicked, this, [this, mode] {
    if (mode == Mode::kChoosing) {
      accept();
    } else {
      EditTemplate();
    }
  });
}

void TCoverBrowse::RunEditor(const QString& description, bool fromRecord, bool append) {
  const int recNo = Table().RecNo();
  TCoverEditor editor(context_, this);
  editor.SetDescription(description);
  MemoLoad load;
  if (fromRecord) {
    load = LoadMemo(*editor.Cover(), Table(), "COVER", context_.folder);
    if (!load.complete) ShowInformation(this, load.problem);
  } else {
    ApplyDefaultFont(*editor.Cover(), context_.settings);
  }
  if (editor.exec() != QDialog::Accepted) return;
  bool ok = append ? Table().AppendRecord() : Table().Go(recNo);
  if (ok) {
    ok = Table().SetField("DESCRIPT", TextToField(editor.Description()));
    // A cover that could not be read stays as it was unless it was changed.
    if (ok && (append || MayWriteBack(*editor.Cover(), load))) {
      ok = SaveMemo(*editor.Cover(), Table(), "COVER", context_.folder);
    }
    if (!ok && append) Table().DeleteRecord();  // no half-written template stays
  }
  if (!ok) ShowInformation(this, QStringLiteral("The cover sheet template could not be saved."));
  RefreshList();
}

void TCoverBrowse::NewTemplate() { RunEditor(QStringLiteral("{description}"), false, true); }

void TCoverBrowse::CloneTemplate() {
  if (!HasCurrent()) {
    QApplication::beep();
    return;
  }
  RunEditor(QStringLiteral("[clone]") + FieldText(Table().Field("DESCRIPT")), true, true);
}

void TCoverBrowse::EditTemplate() {
  if (!HasCurrent()) {
    QApplication::beep();
    return;
  }
  RunEditor(FieldText(Table().Field("DESCRIPT")), true, false);
}

void TCoverBrowse::DeleteTemplate() {
  if (!HasCurrent()) {
    QApplication::beep();
    return;
  }
  const QString question = QStringLiteral("Delete the current cover template?:\r") + FieldText(Table().Field("DESCRIPT"));
  if (AskYesNo(this, question, QStringLiteral("Delete"))) Table().DeleteRecord();
  RefreshList();
}

void TCoverBrowse::accept() {
  if (!HasCurrent()) {
    QApplication::beep();
    return;
  }
  QDialog::accept();
}

}  // namespace tlm
