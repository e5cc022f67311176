#include "send/standard_fax_display.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/window_placement.h"
#include "fax/fax_codes.h"
#include "fax/send_fax.h"
#include "platform/strings/messages.h"
#include "send/kv_meter.h"

namespace tlm {

namespace {

constexpr int kFileNameShown = 20;
constexpr int kMeterStep = 10;

bool StartsElapsed(int status) { return status == fax_status::kGotCalledId || status == fax_status::kGettingParams; }
bool StopsElapsed(int status) {
  return status == fax_status::kFinished || status == fax_status::kUserAbort || status == fax_status::kGotHangupCode;
}

}  // namespace

QString FormatDisplayTime(int seconds) {
  if (seconds < 0) seconds = 0;
  const QString text = QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
  return text.rightJustified(6, QLatin1Char(' '));
}

QString DisplayFileName(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  return name.size() > kFileNameShown ? name.left(kFileNameShown) + QStringLiteral("...") : name;
}

int PageProgress(long bytesTransferred, long pageLength) {
  if (pageLength <= 0) return 0;
  return int(static_cast<long long>(bytesTransferred) * 100 / pageLength);
}

TStandardFaxDisplay::TStandardFaxDisplay(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("StandardFaxDisplay"));
  setWindowTitle(QStringLiteral("Fax Status"));
  auto* grid = new QGridLayout;
  int row = 0;
  PhoneLabel = AddRow(grid, row++, QStringLiteral("Phone number:"), "PhoneLabel");
  FileLabel = AddRow(grid, row++, QStringLiteral("Fax file name:"), "FileLabel");
  CoverLabel = AddRow(grid, row++, QStringLiteral("Cover file name:"), "CoverLabel");
  PagesLabel = AddRow(grid, row++, QStringLiteral("Total pages:"), "PagesLabel");
  AttemptLabel = AddRow(grid, row++, QStringLiteral("Dial attempt:"), "AttemptLabel");
  RemoteLabel = AddRow(grid, row++, QStringLiteral("Remote ID:"), "RemoteLabel");
  BpsLabel = AddRow(grid, row++, QStringLiteral("Connect BPS:"), "BpsLabel");
  ResolutionLabel = AddRow(grid, row++, QStringLiteral("Resolution:"), "ResolutionLabel");
  WidthLabel = AddRow(grid, row++, QStringLiteral("Width:"), "WidthLabel");
  EcmLabel = AddRow(grid, row++, QStringLiteral("Error control:"), "EcmLabel");
  PageLabel = AddRow(grid, row++, QStringLiteral("Current page:"), "PageLabel");
  LengthLabel = AddRow(grid, row++, QStringLiteral("Page length:"), "LengthLabel");
  BytesLabel = AddRow(grid, row++, QStringLiteral("Bytes transferred:"), "BytesLabel");
  ElapsedLabel = AddRow(grid, row++, QStringLiteral("Elapsed time:"), "ElapsedLabel");
  StatusLabel = AddRow(grid, row++, QStringLiteral("Status:"), "StatusLabel");
  grid->setColumnStretch(1, 1);
  ElapsedLabel->setFont(QFont(QStringLiteral("monospace")));

  ProgressCaption = new QLabel(QStringLiteral("Page progress:"), this);
  ProgressCaption->setObjectName(QStringLiteral("ProgressCaption"));
  meter_ = new TKvMeter(this);
  meter_->setFixedSize(406, 20);
  meter_->SetStep(kMeterStep);
  meter_->SetRange(0, 100);
  meter_->SetBevelStyle(TKvMeter::kLowered);

  CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  connect(CancelButton, &QPushButton::clicked, this, [this] {
    if (OnCancel) OnCancel();
  });

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(ProgressCaption);
  layout->addWidget(meter_, 0, Qt::AlignHCenter);
  layout->addWidget(CancelButton, 0, Qt::AlignHCenter);

  clock_ = new QTimer(this);
  clock_->setInterval(1000);
  connect(clock_, &QTimer::timeout, this, [this] { TickSeconds(1); });
  clock_->start();
  ShowTimes();
}

QLabel* TStandardFaxDisplay::AddRow(QGridLayout* grid, int row, const QString& caption, const char* name) {
  auto* label = new QLabel(caption, this);
  auto* value = new QLabel(this);
  value->setObjectName(QString::fromLatin1(name));
  value->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setBuddy(value);
  grid->addWidget(label, row, 0, Qt::AlignRight);
  grid->addWidget(value, row, 1);
  return value;
}

QString TStandardFaxDisplay::Value(const QString& caption) const {
  if (caption == QStringLiteral("Page progress:")) return ProgressCaption->text();
  const auto* grid = qobject_cast<QGridLayout*>(layout()->itemAt(0)->layout());
  for (int r = 0; grid && r < grid->rowCount(); ++r) {
    auto* label = qobject_cast<QLabel*>(grid->itemAtPosition(r, 0)->widget());
    if (label && label->text() == caption) return qobject_cast<QLabel*>(grid->itemAtPosition(r, 1)->widget())->text();
  }
  return {};
}

void TStandardFaxDisplay::SetForReceive(bool receive) {
  receive_ = receive;
  meter_->setVisible(!receive);
  ProgressCaption->setText(receive ? QStringLiteral("Page progress: N/A") : QStringLiteral("Page progress:"));
  if (receive) {
    PhoneLabel->clear();
    AttemptLabel->setText(QStringLiteral("1"));
  }
}

void TStandardFaxDisplay::Update(const FaxDisplayValues& v) {
  PhoneLabel->setText(receive_ ? QString() : v.phoneNumber);
  FileLabel->setText(DisplayFileName(v.faxFile));
  CoverLabel->setText(DisplayFileName(v.coverFile));
  PagesLabel->setText(QString::number(v.totalPages));
  AttemptLabel->setText(receive_ ? QStringLiteral("1") : QString::number(v.dialAttempt));
  RemoteLabel->setText(v.remoteId);
  BpsLabel->setText(QString::number(v.connectBps));
  ResolutionLabel->setText(v.fine ? QStringLiteral("high") : QStringLiteral("standard"));
  WidthLabel->setText(v.wide ? QStringLiteral("2048") : QStringLiteral("1728"));
  EcmLabel->setText(v.ecm ? QStringLiteral("on") : QStringLiteral("off"));
  PageLabel->setText(v.currentPage == 0 ? QStringLiteral("<cover page>") : QString::number(v.currentPage));
  LengthLabel->setText(QString::number(v.pageLength));
  BytesLabel->setText(QString::number(v.bytesTransferred));
  if (!receive_) meter_->SetPosition(PageProgress(v.bytesTransferred, v.pageLength));

  if (v.status != status_) {
    // A new status ends a redial countdown; status 3 starts one.
    countdown_ = v.status == fax_status::kBusyWaiting ? v.dialRetryWait : -1;
    if (StartsElapsed(v.status) && !elapsedRunning_ && elapsedSeconds_ < 0) {
      elapsedRunning_ = true;
      elapsedSeconds_ = 0;
    }
    if (StopsElapsed(v.status)) elapsedRunning_ = false;
    status_ = v.status;
  }
  statusText_ = QString::fromLocal8Bit(FaxStatusText(v.status));
  ShowTimes();
}

void TStandardFaxDisplay::TickSeconds(int seconds) {
  if (elapsedRunning_) elapsedSeconds_ += seconds;
  if (countdown_ > 0) countdown_ = std::max(0, countdown_ - seconds);
  ShowTimes();
}

void TStandardFaxDisplay::ShowTimes() {
  ElapsedLabel->setText(elapsedSeconds_ < 0 ? QStringLiteral("00:00") : FormatDisplayTime(elapsedSeconds_));
  StatusLabel->setText(countdown_ >= 0 ? statusText_ + FormatDisplayTime(countdown_) : statusText_);
}

void TStandardFaxDisplay::closeEvent(QCloseEvent* event) {
  // The session owns the window; closing it asks for a cancel instead.
  event->ignore();
  if (OnCancel) OnCancel();
}

void TStandardFaxDisplay::reject() {
  if (OnCancel) OnCancel();
}

// ---- the status component ----------------------------------------------------

TKvFaxStatus::~TKvFaxStatus() { Close(); }

FaxDisplayValues TKvFaxStatus::ValuesOf(const TKvCustomAbstractFax& fax) {
  FaxDisplayValues v;
  v.faxFile = QString::fromLocal8Bit(fax.FaxFile());
  v.totalPages = fax.TotalPages();
  v.remoteId = QString::fromLocal8Bit(fax.RemoteID());
  v.connectBps = fax.SessionBPS();
  v.fine = fax.SessionResolution();
  v.wide = fax.SessionWide();
  v.ecm = fax.SessionECM();
  v.currentPage = fax.CurrentPage();
  v.pageLength = fax.PageLength();
  v.bytesTransferred = fax.BytesTransferred();
  v.status = fax.FaxStatus();
  if (const auto* send = dynamic_cast<const TKvCustomSendFax*>(&fax)) {
    v.phoneNumber = QString::fromLocal8Bit(send->DialPrefix + send->PhoneNumber);
    v.coverFile = QString::fromLocal8Bit(send->CoverFile);
    // DialAttempt counts the attempts that failed; the one being made (or
    // waited for) is the next, within the number allowed.
    v.dialAttempt = send->DialAttempt() + 1;
    if (send->DialAttempts > 0) v.dialAttempt = std::min(v.dialAttempt, send->DialAttempts);
    v.dialRetryWait = send->DialRetryWait;
  }
  return v;
}

void TKvFaxStatus::Open(TKvCustomAbstractFax& fax) {
  if (!display_) {
    display_ = new TStandardFaxDisplay(owner_);
    display_->SetForReceive(dynamic_cast<TKvCustomSendFax*>(&fax) == nullptr);
    display_->OnCancel = [&fax] { fax.CancelFax(); };
    display_->Update(ValuesOf(fax));
    CenterWindow(display_);
    display_->show();
  }
}

void TKvFaxStatus::Close() {
  if (!display_) return;
  // Deferred: the display may be closed from one of its own events.
  display_->hide();
  display_->OnCancel = nullptr;
  display_->deleteLater();
  display_ = nullptr;
}

void TKvFaxStatus::UpdateDisplay(TKvCustomAbstractFax& fax, bool first, bool last) {
  if (first || !display_) Open(fax);
  display_->Update(ValuesOf(fax));
  if (last) Close();
}

}  // namespace tlm
