#include "compose/compose_hooks.h"

#include <QApplication>

#include "app/field_text.h"
#include "app/main_screen.h"
#include "app/message_boxes.h"
#include "app/window_placement.h"
#include "compose/cover_browse.h"
#include "compose/fax_editor.h"
#include "compose/phone_book.h"
#include "compose/table_memos.h"
#include "platform/data_folder.h"
#include "richtext/default_font.h"
#include "richtext/rich_text_editor.h"

namespace tlm {

namespace {

ComposeContext ContextOf(TMainScreen& window) {
  return ComposeContext{window.Tables(), window.CurrentSettings(), DataFolder()};
}

struct LoadedFax {
  MemoLoad cover;
  MemoLoad document;
};

// The current outgoing record into the editor; the subject as given.
LoadedFax LoadFax(TFaxEditor& editor, TableAccess& log, const std::string& folder, const QString& subject) {
  LoadedFax loaded;
  loaded.cover = LoadMemo(*editor.Cover(), log, "RTFCOVER", folder);
  loaded.document = LoadMemo(*editor.Document(), log, "RTFDOC", folder);
  editor.SetFields(FieldText(log.Field("RECIPIENT")), FieldText(log.Field("PHONE")), subject);
  QStringList problems;
  for (const MemoLoad* load : {&loaded.cover, &loaded.document}) {
    if (!load->complete) problems << load->problem;
  }
  if (!problems.isEmpty()) {
    problems << QStringLiteral("A text that could not be read is stored again only if you change it.");
    ShowInformation(&editor, problems.join('\r'));
  }
  return loaded;
}

// The editor's fields and texts into the current record. After a load with
// problems only the texts the user changed are written.
bool WriteFax(const TFaxEditor& editor, TableAccess& log, const std::string& folder, const LoadedFax& loaded) {
  bool ok = log.SetField("RECIPIENT", TextToField(editor.Recipient())) &&
            log.SetField("SUBJECT", TextToField(editor.Subject())) &&
            log.SetField("PHONE", TextToField(editor.FaxNumber()));
  if (ok && MayWriteBack(*editor.Cover(), loaded.cover)) ok = SaveMemo(*editor.Cover(), log, "RTFCOVER", folder);
  if (ok && MayWriteBack(*editor.Document(), loaded.document)) {
    ok = SaveMemo(*editor.Document(), log, "RTFDOC", folder);
  }
  return ok;
}

void FaxNotSaved(QWidget* parent) { ShowInformation(parent, QStringLiteral("The fax could not be saved in the fax log.")); }

}  // namespace

void NewFax(TMainScreen& window, bool clone) {
  TableAccess* log = window.FaxTable();
  if (!log) return;
  if (clone && !log->HasCurrentRecord()) {
    QApplication::beep();
    return;
  }
  ComposeContext context = ContextOf(window);
  TFaxEditor editor(context, &window);
  LoadedFax loaded;
  if (clone) {
    loaded = LoadFax(editor, *log, context.folder, QStringLiteral("[clone]") + FieldText(log->Field("SUBJECT")));
  } else {
    ApplyDefaultFont(*editor.Cover(), context.settings);
    ApplyDefaultFont(*editor.Document(), context.settings);
  }
  if (editor.exec() != QDialog::Accepted) return;
  // A new record gets both texts, whatever could be read of the original.
  if (!log->AppendRecord()) {
    FaxNotSaved(&window);
    return;
  }
  if (!WriteFax(editor, *log, context.folder, LoadedFax{})) {
    log->DeleteRecord();  // no half-written fax stays in the log
    FaxNotSaved(&window);
  }
  window.ReopenFaxLog();
}

void EditFax(TMainScreen& window) {
  TableAccess* log = window.FaxTable();
  if (!log) return;
  if (!log->HasCurrentRecord()) {
    QApplication::beep();
    return;
  }
  const int recNo = log->RecNo();
  ComposeContext context = ContextOf(window);
  TFaxEditor editor(context, &window);
  const LoadedFax loaded = LoadFax(editor, *log, context.folder, FieldText(log->Field("SUBJECT")));
  if (editor.exec() != QDialog::Accepted) return;
  if (!log->Go(recNo) || !WriteFax(editor, *log, context.folder, loaded)) FaxNotSaved(&window);
  window.RefreshLists();
}

void OpenPhoneBook(TMainScreen& window) {
  std::unique_ptr<TableAccess> table = window.Tables().OpenPhoneBook();
  if (!table) {
    ShowInformation(&window, QStringLiteral("Unable to open/create the phone book datafile"));
    return;
  }
  TPhoneBook book(*table, TPhoneBook::Mode::kManaging, &window);
  CenterWindow(&book);
  book.exec();
}

void OpenCoverSheets(TMainScreen& window) {
  std::unique_ptr<TableAccess> table = window.Tables().OpenCoverTable();
  if (!table) {
    ShowInformation(&window, QStringLiteral("Unable to open/create the cover sheet datafile"));
    return;
  }
  ComposeContext context = ContextOf(window);
  TCoverBrowse browse(*table, TCoverBrowse::Mode::kManaging, context, &window);
  CenterWindow(&browse);
  browse.exec();
}

void InstallComposeHooks(MainScreenHooks& hooks) {
  hooks.newFax = NewFax;
  hooks.editFax = EditFax;
  hooks.phoneBook = OpenPhoneBook;
  hooks.coverSheets = OpenCoverSheets;
}

}  // namespace tlm
