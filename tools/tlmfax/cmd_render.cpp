// tlmfax render [--cover COVER.rtf] [--doc DOC.rtf] OUTPUT.APF: builds the
// fax of a cover sheet and a document as sending does, without a window,
// and prints its page count. Built with the Qt layers only.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "commands.h"
#include "compose/fax_document_assembly.h"
#include "faximage/fax_converter.h"
#include "interrupts.h"
#include "platform/file_util.h"
#include "platform/working_folder.h"
#include "richtext/rich_text_editor.h"

namespace tlm::tlmfax {
namespace {

// Reports assembly's message on stderr; no window, no status line. SIGINT
// and SIGTERM stop the rendering at the next page, so that the working
// folder is removed on the way out.
class ConsoleHost : public AssemblyHost {
 public:
  ConsoleHost() { CatchInterrupts(); }
  void SetBusy(bool) override {}
  void SetStatus(const QString&) override {}
  void ProcessMessages() override {
    if (Interrupted()) throw std::runtime_error("interrupted");
  }
  void ShowInformation(const QString& text) override { message = text.toStdString(); }
  std::string message;
};

// The memo of a text given on the command line: the file copied to where
// the table engine would write it; no file means an empty memo.
MemoToFile MemoOf(const std::string& source) {
  return [source](const std::string& path) {
    if (source.empty()) return false;
    std::string bytes;
    return ReadWholeFile(source, bytes) && WriteFileAtomically(path, bytes);
  };
}

}  // namespace

int RunRender(const Args& args) {
  const char* usage = "usage: tlmfax render [--cover COVER.rtf] [--doc DOC.rtf] OUTPUT.APF";
  std::string cover, doc, output;
  for (size_t i = 0; i < args.size(); ++i) {
    if ((args[i] == "--cover" || args[i] == "--doc") && i + 1 < args.size()) {
      (args[i] == "--cover" ? cover : doc) = args[i + 1];
      ++i;
    } else if (output.empty() && !args[i].empty() && args[i][0] != '-') {
      output = args[i];
    } else {
      return Fail(usage);
    }
  }
  if (output.empty()) return Fail(usage);
  for (const std::string& input : {cover, doc}) {
    if (!input.empty() && !FileExists(input)) return Fail("cannot read " + input);
  }

  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "tlmfax";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);

  // Working files go into a private folder beside the output; folders that
  // earlier runs could not remove go first.
  ConsoleHost host;
  const std::string beside = FolderOf(AbsolutePath(output));
  RemoveStaleWorkingFolders(beside, kRenderFolderPrefix);
  WorkingFolder working;
  if (!working.Create(beside, kRenderFolderPrefix)) return Fail("cannot create a working folder beside " + output);
  const std::string& folder = working.Path();

  RichTextEditor coverEditor, docEditor;
  TKvFaxConverter converter;
  FaxDocumentAssembler assembler(folder, coverEditor, docEditor, converter, host);
  std::string result = assembler.CreateFaxFile(MemoOf(cover), MemoOf(doc));
  if (result.empty()) return Fail(host.message);
  std::error_code ec;
  std::filesystem::rename(result, output, ec);
  if (ec) return Fail("cannot write " + output + ": " + ec.message());
  std::printf("%d\n", assembler.PageCount());
  return 0;
}

}  // namespace tlm::tlmfax
