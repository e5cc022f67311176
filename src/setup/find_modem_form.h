#pragma once
// The modem search window: tries COM1 to COM6 and, when no modem answers
// there, the serial devices no port is mapped to yet; lists what each
// answered and reports where the modem is. Each device is probed on a
// thread of its own, so absent and silent ports cost their time-out once,
// side by side, while the window stays alive.
#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "setup/find_modem_search.h"

class QGridLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;
class QTimer;

namespace tlm {

// The foot the probing windows share: a wrapping result line, a stretch and
// an "Ok" button (hidden until the probing is over, accepting the window) at
// the right of its own row.
struct ProbeFoot {
  QLabel* result;
  QPushButton* ok;
};
ProbeFoot AddProbeFoot(QDialog* dialog, QVBoxLayout* layout, const QString& text, const QString& resultName);

class TKvCustomComPort;

struct FindModemOptions {
  // COM number (1..6) to device path; by default the `Ports` mapping.
  std::function<std::string(int)> deviceOf;
  // The devices tried when none of COM1..6 answers; by default the
  // unmapped ttyUSB/ttyACM devices of /dev (stable names preferred).
  std::function<std::vector<std::string>()> unmappedDevices;
  // The COM number a device found there is offered under (0: none free).
  std::function<int()> freeComNumber;
  std::string resetString;
};

class TFindModemForm : public QDialog {
  Q_OBJECT
 public:
  // `port` lends its line settings to the probing ports.
  TFindModemForm(const TKvCustomComPort& port, FindModemOptions options, QWidget* parent = nullptr);
  ~TFindModemForm() override;

  // The port a modem answered on (1..6), or -1.
  int FoundPort() const { return found_; }
  // When the modem answered on an unmapped device: that device, offered as
  // a new mapping of FoundPort(); empty otherwise.
  const std::string& NewDevice() const { return newDevice_; }
  bool Running() const { return running_; }
  QLabel* ResultLabel() const { return result_; }
  QLabel* PortLabel(int comNumber) const;
  QString ListedLines() const;  // every port's and device's line

  void reject() override;  // ignored while the search runs

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  struct Target {
    int comNumber = 0;       // 0: an unmapped device
    std::string device;
    QLabel* label = nullptr;
    QLabel* pathLabel = nullptr;
    bool done = false;
    PortProbe probe;
  };
  struct Shared;

  void Start();
  void StartStage(std::vector<Target*> targets);
  void Poll();
  void FinishComStage();
  void Finish();
  QString LineOf(const Target& t) const;

  FindModemOptions options_;
  ProbePortSettings portSettings_;
  std::vector<std::unique_ptr<Target>> targets_;
  std::shared_ptr<Shared> shared_;
  std::vector<std::thread> workers_;
  bool started_ = false;
  bool running_ = false;
  bool unmappedStage_ = false;
  bool inUseSeen_ = false;
  int found_ = -1;
  std::string newDevice_;

  QGridLayout* grid_ = nullptr;
  QLabel* result_ = nullptr;
  QPushButton* ok_ = nullptr;
  QTimer* poll_ = nullptr;
};

// Runs the search over `parent` with the settings' mapping; the caller asks
// the user what to do with the result.
struct FindModemResult {
  int port = -1;
  std::string newDevice;
};
FindModemResult RunFindModem(QWidget* parent, const TKvCustomComPort& port, FindModemOptions options);

}  // namespace tlm
