#pragma once
// "Cover Sheet Template Browser": the cover templates with new, edit, clone
// and delete, and in choosing mode the template the fax editor loads.
#include "compose/compose_context.h"
#include "compose/table_browser.h"

namespace tlm {

class TCoverEditor;

class TCoverBrowse : public TableBrowser {
  Q_OBJECT
 public:
  TCoverBrowse(TableAccess& table, Mode mode, ComposeContext& context, QWidget* parent = nullptr);

  void NewTemplate();
  void EditTemplate();
  void CloneTemplate();
  void DeleteTemplate();

  void accept() override;

 private:
  // Opens the template editor; `fromRecord`: with the current record's
  // cover; `append`: OK adds a record, else it changes record `recNo`.
  void RunEditor(const QString& description, bool fromRecord, bool append);

  ComposeContext& context_;
};

}  // namespace tlm
