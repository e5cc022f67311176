#pragma once
// The progress window of a fax session ("Fax Status"): what is being sent to
// whom, the connection's parameters, the page and bytes so far, the elapsed
// time, the status with the redial countdown, and a page progress meter.
// TKvFaxStatus is the status component that opens it when a session starts
// and keeps it up to date.
#include <QDialog>
#include <QElapsedTimer>
#include <functional>
#include <memory>

#include "fax/abstract_fax.h"

class QGridLayout;
class QLabel;
class QPushButton;
class QTimer;

namespace tlm {

class TKvMeter;

// One snapshot of a session, as the display shows it.
struct FaxDisplayValues {
  QString phoneNumber;
  QString faxFile;
  QString coverFile;
  int totalPages = 0;
  int dialAttempt = 1;
  QString remoteId;
  int connectBps = 0;
  bool fine = false;
  bool wide = false;
  bool ecm = false;
  int currentPage = 0;
  long pageLength = 0;
  long bytesTransferred = 0;
  int status = 0;
  int dialRetryWait = 0;  // seconds of the redial countdown (status 3)
};

// "m:ss" right-aligned in six characters.
QString FormatDisplayTime(int seconds);
// A file name without its folder, cut to 20 characters + "...".
QString DisplayFileName(const QString& path);
// Bytes transferred as a percentage of the page length (0 for no length).
int PageProgress(long bytesTransferred, long pageLength);

class TStandardFaxDisplay : public QDialog {
  Q_OBJECT
 public:
  explicit TStandardFaxDisplay(QWidget* parent = nullptr);

  // A receive has no number to dial and no meter.
  void SetForReceive(bool receive);
  void Update(const FaxDisplayValues& values);

  // Asked by "Cancel".
  std::function<void()> OnCancel;

  // For tests: advances the clocks by whole seconds as the timer would.
  void TickSeconds(int seconds);

  QString Value(const QString& caption) const;  // the label beside `caption`
  TKvMeter* Meter() const { return meter_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  QLabel* AddRow(QGridLayout* grid, int row, const QString& caption, const char* name);
  void Tick();
  void ShowTimes();

  bool receive_ = false;
  int status_ = 0;
  bool elapsedRunning_ = false;
  int elapsedSeconds_ = -1;  // -1: not connected yet
  int countdown_ = -1;       // seconds left before the redial; -1 none
  QString statusText_;

  QLabel* PhoneLabel = nullptr;
  QLabel* FileLabel = nullptr;
  QLabel* CoverLabel = nullptr;
  QLabel* PagesLabel = nullptr;
  QLabel* AttemptLabel = nullptr;
  QLabel* RemoteLabel = nullptr;
  QLabel* BpsLabel = nullptr;
  QLabel* ResolutionLabel = nullptr;
  QLabel* WidthLabel = nullptr;
  QLabel* EcmLabel = nullptr;
  QLabel* PageLabel = nullptr;
  QLabel* LengthLabel = nullptr;
  QLabel* BytesLabel = nullptr;
  QLabel* ElapsedLabel = nullptr;
  QLabel* StatusLabel = nullptr;
  QLabel* ProgressCaption = nullptr;
  TKvMeter* meter_ = nullptr;
  QPushButton* CancelButton = nullptr;
  QTimer* clock_ = nullptr;
};

// The status component of a fax component: opens the display over `owner`
// with the session's first status and updates it on every status event.
class TKvFaxStatus : public TKvAbstractFaxStatus {
 public:
  explicit TKvFaxStatus(QWidget* owner) : owner_(owner) {}
  ~TKvFaxStatus() override;

  void UpdateDisplay(TKvCustomAbstractFax& fax, bool first, bool last) override;
  // Opens the display (also done by the first update) and closes it.
  void Open(TKvCustomAbstractFax& fax);
  void Close();

  TStandardFaxDisplay* Display() const { return display_; }
  // What the display shows of `fax` now.
  static FaxDisplayValues ValuesOf(const TKvCustomAbstractFax& fax);

 private:
  QWidget* owner_;
  TStandardFaxDisplay* display_ = nullptr;
};

}  // namespace tlm
