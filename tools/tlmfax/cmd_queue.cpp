// tlmfax queue --dir DATA [--to NAME] [--subject TEXT] [--cover COVER.rtf]
//               [--doc DOC.rtf] NUMBER
// Adds a fax to the outgoing log of a data folder, as the fax editor stores
// one: the program then shows it ready to send. The log must not be open in
// a running program (the tables are used exclusively).
#include <cstdio>

#include "commands.h"
#include "platform/file_util.h"
#include "storage/log_tables.h"
#include "storage/xb_components.h"

namespace tlm::tlmfax {

int RunQueue(const Args& args) {
  const char* usage =
      "usage: tlmfax queue --dir DATA [--to NAME] [--subject TEXT] [--cover COVER.rtf] [--doc DOC.rtf] NUMBER";
  std::string dir, to, subject, cover, doc, number;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string* target = a == "--dir" ? &dir : a == "--to" ? &to : a == "--subject" ? &subject
                          : a == "--cover" ? &cover : a == "--doc" ? &doc : nullptr;
    if (target && i + 1 < args.size()) *target = args[++i];
    else if (!target && number.empty() && !a.empty() && a[0] != '-') number = a;
    else return Fail(usage);
  }
  if (dir.empty() || number.empty() || (cover.empty() && doc.empty())) return Fail(usage);
  for (const std::string& file : {cover, doc})
    if (!file.empty() && !FileExists(file)) return Fail("cannot read " + file);
  if (dir.back() != '/') dir += '/';

  TXbTable table;
  TXbEngine engine(table);
  if (!OpenFaxDBF(table, engine, dir)) return Fail("cannot open the outgoing log in " + dir + " (is Tolmera running?)");
  if (!table.Append() || !table.SetString("RECIPIENT", to) || !table.SetString("SUBJECT", subject) ||
      !table.SetString("PHONE", number) || !table.Post())
    return Fail("cannot add the fax: " + table.LastError());
  if ((!cover.empty() && !engine.FileToBlob("RTFCOVER", cover)) || (!doc.empty() && !engine.FileToBlob("RTFDOC", doc)) ||
      !table.Post())
    return Fail("cannot store the fax's text: " + table.LastError());
  std::printf("queued for %s\n", number.c_str());
  return 0;
}

}  // namespace tlm::tlmfax
