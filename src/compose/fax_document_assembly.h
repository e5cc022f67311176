#pragma once
// Turns the current outgoing log entry (its cover sheet and document memos)
// into one APF fax file: each page of the two rich texts is painted at fax
// resolution, converted into a one-page file, and the files are joined.
#include <QString>
#include <string>

#include "compose/memo_transfer.h"
#include "compose/rich_text_pages.h"

class QWidget;

namespace tlm {

class RichTextEditor;
class TKvFaxConverter;
class TXbEngine;

// What assembly needs of the main window: the busy state (hourglass pointer
// and disabled button bar), the status text, letting pending window messages
// run, and a message box.
class AssemblyHost {
 public:
  virtual ~AssemblyHost() = default;
  virtual void SetBusy(bool busy) = 0;
  virtual void SetStatus(const QString& text) = 0;
  virtual void ProcessMessages() = 0;
  virtual void ShowInformation(const QString& text) = 0;
};

// The host of a window: override cursor, `buttonBar` disabled while busy,
// status through `setStatus`, information boxes over `parent`.
class WidgetAssemblyHost : public AssemblyHost {
 public:
  WidgetAssemblyHost(QWidget* parent, QWidget* buttonBar, std::function<void(const QString&)> setStatus);
  void SetBusy(bool busy) override;
  void SetStatus(const QString& text) override;
  void ProcessMessages() override;
  void ShowInformation(const QString& text) override;

 private:
  QWidget* parent_;
  QWidget* buttonBar_;
  std::function<void(const QString&)> setStatus_;
  bool busy_ = false;
};

class FaxDocumentAssembler {
 public:
  // `folder`: the data folder (with a trailing '/'), where every working
  // file and the result are made.
  FaxDocumentAssembler(std::string folder, RichTextEditor& cover, RichTextEditor& document,
                       TKvFaxConverter& converter, AssemblyHost& host);

  // Builds the fax of the entry whose memos the two functions write out
  // ("RTFCOVER" and "RTFDOC"). Returns the full path of the finished APF
  // file, which then belongs to the caller, or the empty text when both texts
  // are empty ("Fax has no contents or cover sheet" is shown). Converter and
  // file errors are thrown after the page files made so far are removed.
  std::string CreateFaxFile(const MemoToFile& coverMemo, const MemoToFile& documentMemo);
  // The same for the current record of the outgoing log behind `outgoing`.
  std::string CreateFaxFile(TXbEngine& outgoing);

  // The page count of the last fax built.
  int PageCount() const { return pageCount_; }

  // The most pages a fax may have (a fax file's limit; tests set less). A
  // longer one is refused with a message before any page is made.
  void SetPageLimit(int pages) { pageLimit_ = pages; }

 private:
  std::string folder_;
  RichTextEditor& cover_;
  RichTextEditor& document_;
  TKvFaxConverter& converter_;
  AssemblyHost& host_;
  int pageCount_ = 0;
  int pageLimit_ = kMaxFaxPages;
};

}  // namespace tlm
