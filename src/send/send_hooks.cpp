#include "send/send_hooks.h"

#include <QApplication>
#include <QFile>
#include <algorithm>
#include <memory>

#include "app/main_screen.h"
#include "app/message_boxes.h"
#include "app/window_placement.h"
#include "compose/fax_document_assembly.h"
#include "faximage/fax_converter.h"
#include "platform/data_folder.h"
#include "platform/profile_file.h"
#include "richtext/rich_text_editor.h"
#include "send/send_fax_form.h"
#include "send/send_options.h"

namespace tlm {

namespace {

constexpr int kMostPagesRecorded = 99;  // PAGES holds two digits

QString Local(const std::string& text) { return QString::fromLocal8Bit(text); }
std::string Local(const QString& text) { return text.toLocal8Bit().toStdString(); }

// The main window's hidden rendering parts: two rich-text editors and the
// converter, made on first use and owned by the main window.
class HiddenRenderer : public QObject {
 public:
  explicit HiddenRenderer(QObject* owner) : QObject(owner) { setObjectName(QStringLiteral("HiddenRenderer")); }
  RichTextEditor WPCover;
  RichTextEditor WPDoc;
  TKvFaxConverter KvFaxConverter1;

  static HiddenRenderer& Of(TMainScreen& window) {
    auto* renderer = window.findChild<HiddenRenderer*>(QStringLiteral("HiddenRenderer"), Qt::FindDirectChildrenOnly);
    return renderer ? *renderer : *new HiddenRenderer(&window);
  }
};

}  // namespace

std::string RenderCurrentFax(TMainScreen& window) {
  TableAccess* outgoing = window.FaxTable();
  if (!outgoing || !outgoing->HasCurrentRecord()) return {};
  HiddenRenderer& parts = HiddenRenderer::Of(window);
  WidgetAssemblyHost host(&window, window.findChild<QWidget*>(QStringLiteral("ButtonBar")),
                          [&window](const QString& text) { window.SetStatus(text); });
  FaxDocumentAssembler assembler(DataFolder(), parts.WPCover, parts.WPDoc, parts.KvFaxConverter1, host);
  const auto memo = [outgoing](const char* field) {
    return [outgoing, field = std::string(field)](const std::string& path) { return outgoing->MemoToFile(field, path); };
  };
  std::string file = assembler.CreateFaxFile(memo("RTFCOVER"), memo("RTFDOC"));
  window.SetLastPageCount(file.empty() ? 0 : assembler.PageCount());
  return file;
}

bool RecordSendResult(TableAccess& outgoing, int pages, const QString& resultText, const QString& phoneNumber,
                      const QDateTime& now) {
  std::vector<std::pair<std::string, std::string>> values;
  values.emplace_back("PAGES", std::to_string(std::clamp(pages, 0, kMostPagesRecorded)));
  if (!resultText.trimmed().isEmpty()) values.emplace_back("LASTRESULT", Local(resultText));
  values.emplace_back("PHONE", Local(phoneNumber));
  if (IsSentResult(resultText)) {
    values.emplace_back("SENT", "T");
    values.emplace_back("DATESENT", now.date().toString(QStringLiteral("yyyyMMdd")).toStdString());
    values.emplace_back("TIMESENT", now.time().toString(QStringLiteral("hh:mm")).toStdString());
  }
  return outgoing.SetFields(values);
}

void SendButtonClick(TMainScreen& window) {
  if (window.ReceiveMode()) {
    ShowInformation(&window, QStringLiteral("You are in Fax Receive mode. You cannot send\rwhile in Fax Receive mode. "
                                            "Click the Stop button to end\rFax Receive mode"));
    return;
  }
  if (!window.OutgoingTabShown()) {
    ShowInformation(&window, QStringLiteral("Please switch to the Outgoing Faxes tab\rand highlight a fax to send"));
    return;
  }
  TableAccess* outgoing = window.FaxTable();
  if (!outgoing || outgoing->RecordCount() == 0 || !outgoing->HasCurrentRecord()) {
    QApplication::beep();
    return;
  }

  QApplication::setOverrideCursor(Qt::WaitCursor);
  window.SetStatus(QStringLiteral("Preparing files for viewing..."));
  std::string faxFile;
  QString failure;
  try {
    faxFile = RenderCurrentFax(window);
  } catch (const std::exception& e) {
    failure = QString::fromLocal8Bit(e.what());
  }
  QApplication::restoreOverrideCursor();
  if (faxFile.empty()) {
    window.SetStatus({});
    ShowInformation(&window, failure.isEmpty() ? QStringLiteral("Error creating fax file")
                                               : QStringLiteral("Error creating fax file\r") + failure);
    return;
  }
  const int pages = window.LastPageCount();

  Settings& settings = window.CurrentSettings();
  TSendFaxForm::Job job;
  job.faxFile = Local(faxFile);
  job.recipient = Local(outgoing->Field("RECIPIENT"));
  job.subject = Local(outgoing->Field("SUBJECT"));
  job.phoneNumber = Local(outgoing->Field("PHONE"));
  job.portNumber = settings.comPort + 1;
  job.dialPrefix = Local(settings.dialPrefix);
  job.dialSuffix = Local(settings.dialSuffix);
  job.prefixDisabled = settings.prefixDisable;
  job.suffixDisabled = settings.suffixDisable;

  QString result, phone;
  {
    TSendFaxForm form(job, settings, &window);
    CenterWindow(&form);
    window.SetStatus({});
    form.exec();
    result = form.ResultText();
    phone = form.PhoneNumberText();
    settings.dialPrefix = Local(form.DialPrefixText());
    settings.dialSuffix = Local(form.DialSuffixText());
    settings.prefixDisable = form.PrefixDisabled();
    settings.suffixDisable = form.SuffixDisabled();
  }
  QFile::remove(Local(faxFile));
  try {
    SaveSettingsFile(SettingsFilePath().toStdString(), settings);
  } catch (const ProfileWriteError& e) {
    ShowInformation(&window, QString::fromLocal8Bit(e.what()));
  }

  if (!RecordSendResult(*outgoing, pages, result, phone, QDateTime::currentDateTime())) {
    ShowInformation(&window, QStringLiteral("The result of the send could not be written into the fax log."));
  }
  window.RefreshLists();
}

void InstallSendHooks(MainScreenHooks& hooks) {
  hooks.sendFax = SendButtonClick;
  if (!hooks.renderFax) hooks.renderFax = RenderCurrentFax;
}

}  // namespace tlm
