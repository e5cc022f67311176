#include "app/receive/receive_mode.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTime>
#include <QTimer>
#include <algorithm>

#include "app/core/modem_probe.h"
#include "app/main_screen.h"
#include "app/receive/starting_fax_form.h"
#include "app/window_placement.h"
#include "platform/data_folder.h"
#include "platform/strings/messages.h"
#include "send/show_error_form.h"

namespace tlm {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
// The printer choice that means "the current printer".
const char* const kDefaultPrinter = "Default Windows Printer";
// How long stopping waits for the call in progress to end by itself.
constexpr int kStopWaitMs = 15000;

TReceiveMode::Services& DefaultServices() {
  static TReceiveMode::Services services;
  return services;
}

class BusyPointer {
 public:
  BusyPointer() { On(); }
  ~BusyPointer() { Off(); }
  void On() {
    if (!on_) QApplication::setOverrideCursor(Qt::WaitCursor);
    on_ = true;
  }
  void Off() {
    if (on_) QApplication::restoreOverrideCursor();
    on_ = false;
  }

 private:
  bool on_ = false;
};

TFaxClass ReceiveClass(int setting) {
  switch (setting) {
    case 1: return fcClass1;
    case 2: return fcClass2;
    case 3: return fcClass2_0;
    default: return fcDetect;
  }
}

}  // namespace

// ---- texts ----------------------------------------------------------------------------------

QString OpenPortFailedMessage(const QString& openPortMessage, int comNumber) {
  return openPortMessage + kCrLf + kCrLf + QStringLiteral("Is the Communications Port (COM%1) correct? Please").arg(comNumber) +
         kCrLf + QStringLiteral("click on the Find Modem button in Preferences to be sure.");
}

QString NoResponseMessage(int comNumber) {
  return QStringLiteral("We did not receive a modem response from COM%1.").arg(comNumber) + kCrLf + kCrLf +
         QStringLiteral("To verify the communications port, please click on the Find Modem button in Preferences to be sure.") +
         kCrLf + kCrLf + QStringLiteral("If you are sure there is a modem on COM%1, press CONTINUE").arg(comNumber) + kCrLf +
         QStringLiteral("to continue, otherwise press OK to stop the fax session.");
}

QString ResetStringFailedMessage(const QString& resetString, int comNumber) {
  return QStringLiteral("We are unable to continue the fax session. \r\n\r\nThe modem did not respond to the reset string:   (") +
         resetString + QStringLiteral(")") + kCrLf + kCrLf +
         QStringLiteral("Is the Communications Port (COM%1) correct? Please").arg(comNumber) + kCrLf +
         QStringLiteral("click on the Find Modem button in Preferences to be sure.");
}

QString ReceiveFailedMessage(int errorCode) {
  const QString text = errorCode != 0 ? QString::fromStdString(ErrorText(errorCode)) : QStringLiteral("Unknown error");
  return QStringLiteral("Tolmera failed to receive an incoming fax.\r\n\r\nThe error message was:   ") + text;
}

QString ReceiveStatusLine(int statusCode, int page, long pageBytes, const QString& remoteId) {
  QString text = QString::fromStdString(FaxStatusText(statusCode)).trimmed();
  if (text.toUpper() == QStringLiteral("GOT CLASS 2 FHNG CODE")) text = QStringLiteral("Hangup successful");
  QString pagePart, bytePart;
  if (text == QStringLiteral("Getting page data")) {
    text = QStringLiteral("Receiving fax");
    if (page != 0) pagePart = QStringLiteral(", page %1").arg(page);
    if (pageBytes > 0) bytePart = QStringLiteral(" (%1 bytes)").arg(pageBytes);
  }
  const QString id = remoteId.trimmed();
  if (!id.isEmpty()) text += QStringLiteral(" from: ") + id + pagePart + bytePart;
  if (text.toUpper().contains(QStringLiteral("ABORT"))) text.clear();
  return text;
}

// ---- the object -------------------------------------------------------------------------------

TReceiveMode::TReceiveMode(TMainScreen& window, Services services)
    : QObject(&window), window_(window), services_(std::move(services)) {
  setObjectName(QStringLiteral("ReceiveMode"));
  KvComPort1 = std::make_unique<TKvComPort>();
  KvComPort1->SetMainThreadBridge(&bridge_);
  KvComPort1->SetAutoOpen(false);
  KvReceiveFax1 = std::make_unique<TKvReceiveFax>();
  KvReceiveFax1->SetComPort(KvComPort1.get());
  // The main window's port: 8 KB buffers, RTS/CTS flow with its marks.
  KvComPort1->SetInSize(8192);
  KvComPort1->SetOutSize(8192);
  KvComPort1->SetHWFlowOptions(hwfUseRTS | hwfRequireCTS);
  KvComPort1->SetBufferFull(7372);
  KvComPort1->SetBufferResume(819);
  KvReceiveFax1->FaxFileExt = "APF";
  KvReceiveFax1->ConstantStatus = true;
  KvReceiveFax1->OnFaxStatus = [this](TKvCustomAbstractFax&, bool first, bool last) {
    KvReceiveFax1FaxStatus(first, last);
  };
  KvReceiveFax1->OnFaxAccept = [this](TKvCustomAbstractFax&, bool& accept) { KvReceiveFax1FaxAccept(accept); };
  KvReceiveFax1->OnFaxError = [this](TKvCustomAbstractFax&, int code) { KvReceiveFax1FaxError(code); };
  KvReceiveFax1->OnFaxLog = [this](TKvCustomAbstractFax&, TFaxLogCode code) { KvReceiveFax1FaxLog(code); };
  KvReceiveFax1->OnFaxFinish = [this](TKvCustomAbstractFax&, int code) { KvReceiveFax1FaxFinish(code); };
  StartingFaxForm = new TStartingFaxForm(&window_);
}

TReceiveMode::~TReceiveMode() {
  // The session ends before the component and its port go.
  KvReceiveFax1->StopSession();
  if (KvComPort1->Open()) KvComPort1->SetOpen(false);
}

TReceiveMode& TReceiveMode::Of(TMainScreen& window) {
  if (auto* existing = window.findChild<TReceiveMode*>(QStringLiteral("ReceiveMode"), Qt::FindDirectChildrenOnly)) {
    return *existing;
  }
  return *new TReceiveMode(window, DefaultServices());
}

void TReceiveMode::SetDefaultServices(Services services) { DefaultServices() = std::move(services); }

void TReceiveMode::ReceiveButtonClick() {
  if (window_.ReceiveMode()) {
    StopReceiveMode();
  } else {
    StartReceiveMode();
  }
}

void TReceiveMode::ConfigureReceiver() {
  const Settings& s = window_.CurrentSettings();
  KvComPort1->SetComNumber(s.comPort + 1);
  KvReceiveFax1->SetFaxClass(ReceiveClass(s.faxClassReceive));
  KvReceiveFax1->SetStationID(s.userFax);
  KvReceiveFax1->AnswerOnRing = s.answerOnRing;
  KvReceiveFax1->DesiredBPS = s.maximumBpsReceive;
  KvReceiveFax1->DesiredECM = s.ecmReceive;
  if (!s.initStringReceive.empty()) KvReceiveFax1->SetModemInit(s.initStringReceive);
  KvReceiveFax1->DestinationDir = window_.DestinationDir().toStdString();
}

void TReceiveMode::StartReceiveMode() {
  BusyPointer busy;
  lastError_ = 0;
  stopping_ = false;
  window_.ShowTab(1);
  StartingFaxForm->ShowStarting();
  StartingFaxForm->adjustSize();
  CenterWindow(StartingFaxForm);
  StartingFaxForm->show();
  window_.SetReceiveMode(true);
  window_.SetStatus(QStringLiteral("Starting receive mode..."));
  QApplication::processEvents();

  const Settings& s = window_.CurrentSettings();
  const int comNumber = s.comPort + 1;
  ConfigureReceiver();

  std::string message;
  if (!OpenPort(*KvComPort1, message)) {
    StartingFaxForm->hide();
    window_.SetStatus({});
    busy.Off();
    TShowErrorForm::ShowError(&window_, QStringLiteral("Error Opening Communications Port"),
                              OpenPortFailedMessage(QString::fromLocal8Bit(message.c_str()), comNumber), 0, true);
    Abandon();
    return;
  }
  if (!ProbeModem(*KvComPort1, s.resetString, [] { QApplication::processEvents(); })) {
    StartingFaxForm->hide();
    busy.Off();
    const TShowErrorForm::Outcome outcome =
        TShowErrorForm::Show(&window_, QStringLiteral("No Response From Modem"), NoResponseMessage(comNumber), 0,
                             {/*withContinue=*/true, /*autoClose=*/true});
    if (outcome != TShowErrorForm::Outcome::kContinue) {
      KvComPort1->SetOpen(false);
      window_.SetStatus({});
      Abandon();
      return;
    }
    busy.On();
  }
  if (!s.resetString.empty()) {
    window_.SetStatus(QStringLiteral("Sending reset string..."));
    if (!SendModemCommand(*KvComPort1, s.resetString)) {
      StartingFaxForm->hide();
      window_.SetStatus({});
      busy.Off();
      KvComPort1->SetOpen(false);
      TShowErrorForm::ShowError(&window_, QStringLiteral("Unable to Continue"),
                                ResetStringFailedMessage(QString::fromStdString(s.resetString), comNumber), 0, true);
      Abandon();
      return;
    }
  }
  StartingFaxForm->show();
  if (const int rc = KvReceiveFax1->StartReceive(); rc != 0) {
    // The modem would not take the receive set-up: say so, as for a call.
    StartingFaxForm->hide();
    window_.SetStatus({});
    busy.Off();
    KvComPort1->SetOpen(false);
    TShowErrorForm::ShowError(&window_, QStringLiteral("Unable to Continue"),
                              QStringLiteral("We are unable to start fax receive mode.\r\n\r\nThe error message was:   ") +
                                  QString::fromStdString(ErrorText(rc)),
                              rc, true);
    Abandon();
    return;
  }
  window_.SetReceiveButton(QStringLiteral("STOP"), QStringLiteral("Stop receiving faxes"));
  StartingFaxForm->ShowReady();
  StartingFaxForm->adjustSize();
  window_.SetButtons();
}

void TReceiveMode::Abandon() {
  StartingFaxForm->hide();
  window_.SetStatus({});
  window_.SetReceiveMode(false);
  window_.SetReceiveButton(QStringLiteral("&Receive"), QStringLiteral("Start receiving faxes"));
  window_.SetButtons();
}

void TReceiveMode::StopReceiveMode() {
  StartingFaxForm->hide();
  BusyPointer busy;
  lastError_ = 0;
  stopping_ = true;
  try {
    KvReceiveFax1->CancelFax();
    // The session ends through its abort path; its last events run here.
    QElapsedTimer waited;
    waited.start();
    while (KvReceiveFax1->InProgress() && waited.elapsed() < kStopWaitMs) {
      QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    KvReceiveFax1->StopSession();
    const std::string after = window_.CurrentSettings().resetAfterString;
    if (!after.empty() && KvComPort1->Open()) {
      window_.SetStatus(QStringLiteral("Sending AFTER reset string..."));
      SendModemCommand(*KvComPort1, after);
    }
    if (KvComPort1->Open()) KvComPort1->SetOpen(false);
  } catch (const std::exception&) {
    // A vanished device: receive mode ends all the same.
  }
  window_.SetFaxInProgress(false);
  window_.SetReceiveMode(false);
  busy.Off();
  window_.SetReceiveButton(QStringLiteral("&Receive"), QStringLiteral("Start receiving faxes"));
  window_.SetStatus({});
  window_.SetButtons();
  stopping_ = false;
}

// ---- events -----------------------------------------------------------------------------------

void TReceiveMode::KvReceiveFax1FaxStatus(bool first, bool last) {
  if (first) pageCount_ = 0;
  UpdateValues();
  if (last) window_.SetFaxInProgress(false);
}

void TReceiveMode::UpdateValues() {
  pageCount_ = KvReceiveFax1->CurrentPage();
  const QString text =
      ReceiveStatusLine(KvReceiveFax1->FaxStatus(), KvReceiveFax1->CurrentPage(), KvReceiveFax1->PageLength(),
                        QString::fromStdString(KvReceiveFax1->RemoteID()));
  if (StartingFaxForm->isVisible() && text.toUpper().contains(QStringLiteral("ANSWERING"))) StartingFaxForm->hide();
  window_.SetStatus(text);
}

void TReceiveMode::KvReceiveFax1FaxAccept(bool& accept) {
  window_.SetFaxInProgress(true);
  lastError_ = 0;
  accept = true;
}

void TReceiveMode::KvReceiveFax1FaxError(int errorCode) { lastError_ = errorCode; }

void TReceiveMode::KvReceiveFax1FaxLog(TFaxLogCode code) {
  switch (code) {
    case lfaxReceiveStart:
      receivingFile_ = QString::fromStdString(KvReceiveFax1->FaxFile());
      break;
    case lfaxReceiveOk:
      window_.SetFaxInProgress(false);
      RecordReceivedFax();
      break;
    case lfaxReceiveFail:
      window_.SetFaxInProgress(false);
      ReceiveFailed();
      break;
    default:
      break;
  }
}

void TReceiveMode::RecordReceivedFax() {
  const QString file = QString::fromStdString(KvReceiveFax1->FaxFile());
  if (TableAccess* log = window_.RecTable()) {
    const QDateTime now = QDateTime::currentDateTime();
    // PAGES holds two digits: a longer fax is still recorded, as 99 pages.
    // The page count follows the status events, which a page of the same
    // status as the one before does not raise: the file's own count wins.
    const int pages = std::clamp(std::max({pageCount_, KvReceiveFax1->CurrentPage(), KvReceiveFax1->TotalPages()}), 0, 99);
    if (log->AppendRecord()) {
      log->SetFields({{"DATEREC", now.date().toString(QStringLiteral("yyyyMMdd")).toStdString()},
                      {"TIMEREC", now.time().toString(QStringLiteral("hh:mm")).toStdString()},
                      {"FROM", KvReceiveFax1->RemoteID()},
                      {"PAGES", std::to_string(pages)},
                      {"FAXFILE", QFileInfo(file).fileName().toStdString()}});
    }
    window_.ReopenRecFaxLog();
  }
  // The sound is played later, from the window's own queue.
  QTimer::singleShot(0, this, &TReceiveMode::PlayReceivedSound);
  window_.SetButtons();
  if (window_.CurrentSettings().printOnReceipt) PrintReceivedFax(receivingFile_.isEmpty() ? file : receivingFile_);
}

void TReceiveMode::ReceiveFailed() {
  const int code = lastError_;
  lastError_ = 0;
  const QString file = receivingFile_;
  // The session goes back to waiting at once; the window follows from the
  // window's own queue so the modem is not kept waiting meanwhile.
  QTimer::singleShot(0, this, [this, code] {
    TShowErrorForm::ShowError(&window_, QStringLiteral("Failed To Receive Incoming Fax"), ReceiveFailedMessage(code),
                              code, true);
  });
  if (!file.isEmpty() && QFile::exists(file)) QFile::remove(file);
  receivingFile_.clear();
}

void TReceiveMode::KvReceiveFax1FaxFinish(int errorCode) {
  // The session ends by itself only when it cannot go on (a receive folder
  // that cannot be written, a modem that fails its set-up): receive mode
  // ends too, so the user learns of it at once.
  if (stopping_ || !window_.ReceiveMode()) return;
  QTimer::singleShot(0, this, [this, errorCode] {
    if (!window_.ReceiveMode() || stopping_) return;
    StopReceiveMode();
    TShowErrorForm::ShowError(&window_, QStringLiteral("Failed To Receive Incoming Fax"),
                              ReceiveFailedMessage(errorCode), errorCode, true);
  });
}

void TReceiveMode::PlayReceivedSound() {
  const std::string& wav = window_.CurrentSettings().wav;
  if (wav.empty() || !services_.playSound) return;
  QString path = QString::fromStdString(wav);
  if (QFileInfo(path).isRelative()) path = QString::fromStdString(DataFolder()) + path;
  if (QFileInfo(path).isFile()) services_.playSound(path);
}

void TReceiveMode::PrintReceivedFax(const QString& file) {
  if (!services_.print || file.isEmpty()) return;
  const std::string& chosen = window_.CurrentSettings().printOnReceiptPrinter;
  const QString printer = chosen == kDefaultPrinter ? QString() : QString::fromStdString(chosen);
  services_.print(&window_, file, printer);
}

}  // namespace tlm
