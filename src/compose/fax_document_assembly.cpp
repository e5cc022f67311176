#include "compose/fax_document_assembly.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>
#include <cstdio>

#include "compose/fax_join.h"
#include "richtext/rich_text_editor.h"

namespace tlm {

WidgetAssemblyHost::WidgetAssemblyHost(QWidget* parent, QWidget* buttonBar,
                                       std::function<void(const QString&)> setStatus)
    : parent_(parent), buttonBar_(buttonBar), setStatus_(std::move(setStatus)) {}

void WidgetAssemblyHost::SetBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
  else QApplication::restoreOverrideCursor();
  if (buttonBar_) buttonBar_->setEnabled(!busy);
}

void WidgetAssemblyHost::SetStatus(const QString& text) {
  if (setStatus_) setStatus_(text);
}

void WidgetAssemblyHost::ProcessMessages() { QApplication::processEvents(); }

void WidgetAssemblyHost::ShowInformation(const QString& text) {
  QMessageBox::information(parent_, "Information", text);
}

FaxDocumentAssembler::FaxDocumentAssembler(std::string folder, RichTextEditor& cover, RichTextEditor& document,
                                           TKvFaxConverter& converter, AssemblyHost& host)
    : folder_(std::move(folder)), cover_(cover), document_(document), converter_(converter), host_(host) {}

namespace {

// Ends the busy state on every way out, also when an error is thrown.
class BusyScope {
 public:
  explicit BusyScope(AssemblyHost& host) : host_(host) { host_.SetBusy(true); }
  ~BusyScope() {
    host_.SetBusy(false);
    host_.SetStatus(QString());
  }

 private:
  AssemblyHost& host_;
};

}  // namespace

std::string FaxDocumentAssembler::CreateFaxFile(TXbEngine& outgoing) {
  return CreateFaxFile(MemoOfField(outgoing, "RTFCOVER"), MemoOfField(outgoing, "RTFDOC"));
}

std::string FaxDocumentAssembler::CreateFaxFile(const MemoToFile& coverMemo, const MemoToFile& documentMemo) {
  BusyScope busy(host_);
  host_.SetStatus("Creating fax file");
  host_.ProcessMessages();

  LoadRichText(cover_, folder_, coverMemo);
  LoadRichText(document_, folder_, documentMemo);
  const bool coverEmpty = IsRichTextEmpty(cover_);
  const bool documentEmpty = IsRichTextEmpty(document_);
  if (coverEmpty && documentEmpty) {
    host_.SetBusy(false);
    host_.SetStatus(QString());
    host_.ShowInformation("Fax has no contents or cover sheet");
    return {};
  }

  // The pages are counted from the layout first: a fax too long for one
  // file is refused before any page is made, and the status line can say
  // how far the rendering is.
  const long total = (coverEmpty ? 0L : CountRichTextPages(cover_)) + (documentEmpty ? 0L : CountRichTextPages(document_));
  if (total > pageLimit_) {
    host_.SetBusy(false);
    host_.SetStatus(QString());
    host_.ShowInformation(QString("This fax would have %1 pages; a fax file holds at most %2. Split the document "
                                  "into several faxes.")
                              .arg(total)
                              .arg(pageLimit_));
    return {};
  }

  PageList pages;
  host_.SetStatus("Creating fax file....");
  host_.ProcessMessages();
  auto yield = [this] { host_.ProcessMessages(); };
  auto pageDone = [&] {
    host_.SetStatus(QString("Creating fax file.... page %1 of %2").arg(pages.size()).arg(total));
  };
  try {
    if (!coverEmpty) RenderRichTextPages(cover_, pages, folder_, converter_, yield, pageDone);
    if (!documentEmpty) RenderRichTextPages(document_, pages, folder_, converter_, yield, pageDone);
    pageCount_ = static_cast<int>(pages.size());
    host_.SetStatus("Creating fax file........");
    host_.ProcessMessages();
    return JoinFaxFiles(pages);
  } catch (...) {
    // No half-built fax stays behind: every page file made so far goes.
    for (const std::string& page : pages) std::remove(page.c_str());
    throw;
  }
}

}  // namespace tlm
