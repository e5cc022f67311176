#pragma once
// Receive mode: the main window's port and receive component wait for fax
// calls until the user stops them. Each fax that arrives is recorded in the
// received log, announced by a sound and, when so set, printed. A failure
// to start, a failed call or a receive folder that cannot be written shows
// the error window (which closes itself after 30 seconds).
//
// One object per main window, its child; created on the first use of the
// Receive button. Every event of the receive component runs on the main
// thread (through the port's bridge).
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "app/qt_main_thread_bridge.h"
#include "comm/com_port.h"
#include "fax/fax_codes.h"
#include "fax/receive_fax.h"

namespace tlm {

class TMainScreen;
class TStartingFaxForm;

class TReceiveMode : public QObject {
  Q_OBJECT
 public:
  // How a received fax is printed and the sound played; the program sets
  // them to the fax printer and the sound player (tests observe them).
  struct Services {
    // Prints `faxFile` on the printer named `printer` ("" or an unknown
    // name: the current printer), header and footer off, a page a sheet.
    std::function<void(QWidget* parent, const QString& faxFile, const QString& printer)> print;
    // Plays a WAV file asynchronously; silent on any failure.
    std::function<void(const QString& wavFile)> playSound;
  };

  explicit TReceiveMode(TMainScreen& window, Services services = {});
  ~TReceiveMode() override;

  // The receive mode of `window`, created on first use.
  static TReceiveMode& Of(TMainScreen& window);
  static void SetDefaultServices(Services services);

  // The Receive/STOP button: starts receive mode when it is off, stops it
  // when it is on (also when the main window closes).
  void ReceiveButtonClick();

  // Borrowed by the windows that talk to the modem; tests set the bridge.
  TKvComPort& ComPort() { return *KvComPort1; }
  TKvReceiveFax& ReceiveFax() { return *KvReceiveFax1; }
  TStartingFaxForm& Notice() { return *StartingFaxForm; }
  int LastError() const { return lastError_; }
  int PageCount() const { return pageCount_; }

 private:
  void StartReceiveMode();
  void StopReceiveMode();
  void Abandon();
  void ConfigureReceiver();

  // The receive component's events.
  void KvReceiveFax1FaxStatus(bool first, bool last);
  void KvReceiveFax1FaxAccept(bool& accept);
  void KvReceiveFax1FaxError(int errorCode);
  void KvReceiveFax1FaxLog(TFaxLogCode code);
  void KvReceiveFax1FaxFinish(int errorCode);
  void UpdateValues();
  void RecordReceivedFax();
  void ReceiveFailed();
  void PlayReceivedSound();
  void PrintReceivedFax(const QString& file);

  TMainScreen& window_;
  Services services_;
  QtMainThreadBridge bridge_;
  std::unique_ptr<TKvComPort> KvComPort1;
  std::unique_ptr<TKvReceiveFax> KvReceiveFax1;
  TStartingFaxForm* StartingFaxForm = nullptr;

  int lastError_ = 0;
  int pageCount_ = 0;
  QString receivingFile_;  // the file named at log code 4
  bool stopping_ = false;
};

// The message and caption texts of receive mode's error windows.
QString OpenPortFailedMessage(const QString& openPortMessage, int comNumber);
QString NoResponseMessage(int comNumber);
QString ResetStringFailedMessage(const QString& resetString, int comNumber);
QString ReceiveFailedMessage(int errorCode);

// The status line for a receive component's state (UpdateValues).
QString ReceiveStatusLine(int statusCode, int page, long pageBytes, const QString& remoteId);

}  // namespace tlm
