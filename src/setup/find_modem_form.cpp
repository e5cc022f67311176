#include "setup/find_modem_form.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <map>
#include <mutex>

#include "app/window_placement.h"
#include "comm/com_port.h"
#include "platform/com_ports.h"
#include "platform/data_folder.h"
#include "platform/profile_file.h"

namespace tlm {

struct TFindModemForm::Shared {
  std::mutex lock;
  std::map<const Target*, PortProbe> results;
};

namespace {

constexpr int kPollMs = 20;

QString Q(const std::string& s) { return QString::fromLocal8Bit(s.c_str()); }

}  // namespace

TFindModemForm::TFindModemForm(const TKvCustomComPort& port, FindModemOptions options, QWidget* parent)
    : QDialog(parent), options_(std::move(options)), shared_(std::make_shared<Shared>()) {
  setObjectName(QStringLiteral("FindModemForm"));
  setWindowTitle(QStringLiteral("Finding Modem...Please wait"));
  portSettings_.inSize = port.InSize();
  portSettings_.outSize = port.OutSize();
  portSettings_.hwFlow = static_cast<int>(port.HWFlowOptions());
  if (!options_.deviceOf) {
    const ProfileFile ini(DataFolder() + "TLM.INI");
    options_.deviceOf = [ini](int n) { return ComDevicePath(n, ini); };
  }
  if (!options_.unmappedDevices) {
    options_.unmappedDevices = [deviceOf = options_.deviceOf] {
      return UnmappedSerialDevices("/dev", MappedDevices(ProfileFile(DataFolder() + "TLM.INI"), deviceOf));
    };
  }
  if (!options_.freeComNumber) {
    options_.freeComNumber = [deviceOf = options_.deviceOf] {
      return FirstFreeComNumber(ProfileFile(DataFolder() + "TLM.INI"), deviceOf);
    };
  }

  auto* heading = new QLabel(QStringLiteral("Communications Ports:"), this);
  grid_ = new QGridLayout;
  grid_->setColumnStretch(0, 1);
  for (int n = 1; n <= kSearchedComPorts; ++n) {
    auto target = std::make_unique<Target>();
    target->comNumber = n;
    target->device = options_.deviceOf(n);
    target->label = new QLabel(QStringLiteral("Com %1:").arg(n), this);
    target->label->setObjectName(QStringLiteral("PortLabel%1").arg(n));
    target->pathLabel = new QLabel(Q(target->device), this);
    target->pathLabel->setObjectName(QStringLiteral("PathLabel%1").arg(n));
    target->pathLabel->setEnabled(false);  // shown grey: the device behind the number
    grid_->addWidget(target->label, n - 1, 0);
    grid_->addWidget(target->pathLabel, n - 1, 1);
    targets_.push_back(std::move(target));
  }
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading);
  layout->addLayout(grid_);
  const ProbeFoot foot = AddProbeFoot(this, layout, QStringLiteral("Testing Communications ports...please wait."),
                                      QStringLiteral("ResultLabel"));
  result_ = foot.result;
  ok_ = foot.ok;

  poll_ = new QTimer(this);
  poll_->setInterval(kPollMs);
  connect(poll_, &QTimer::timeout, this, &TFindModemForm::Poll);
}

ProbeFoot AddProbeFoot(QDialog* dialog, QVBoxLayout* layout, const QString& text, const QString& resultName) {
  auto* result = new QLabel(text, dialog);
  result->setObjectName(resultName);
  result->setWordWrap(true);
  result->setMinimumWidth(420);
  auto* ok = new QPushButton(QStringLiteral("Ok"), dialog);
  ok->setObjectName(QStringLiteral("OkButton"));
  ok->setDefault(true);
  ok->hide();
  QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  layout->addWidget(result);
  layout->addStretch(1);
  layout->addLayout(buttons);
  return {result, ok};
}

TFindModemForm::~TFindModemForm() {
  for (std::thread& t : workers_) t.join();  // each probe is bounded in time
  if (running_) QApplication::restoreOverrideCursor();
}

QLabel* TFindModemForm::PortLabel(int comNumber) const {
  for (const auto& t : targets_) {
    if (t->comNumber == comNumber) return t->label;
  }
  return nullptr;
}

QString TFindModemForm::ListedLines() const {
  QStringList lines;
  for (const auto& t : targets_) lines << t->label->text();
  return lines.join(QChar('\n'));
}

void TFindModemForm::reject() {
  if (!running_) QDialog::reject();
}

void TFindModemForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!started_) {
    started_ = true;
    QTimer::singleShot(0, this, &TFindModemForm::Start);
  }
}

void TFindModemForm::Start() {
  running_ = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  found_ = -1;
  inUseSeen_ = false;
  std::vector<Target*> stage;
  for (const auto& t : targets_) stage.push_back(t.get());
  StartStage(stage);
}

// One worker per device: numbers that name the same device are probed one
// after the other by its worker, never at the same time.
void TFindModemForm::StartStage(std::vector<Target*> targets) {
  std::vector<std::vector<Target*>> groups;
  for (Target* t : targets) {
    t->label->setText(t->comNumber > 0 ? QStringLiteral("Com %1: TESTING").arg(t->comNumber)
                                       : Q(t->device) + QStringLiteral(": TESTING"));
    auto same = std::find_if(groups.begin(), groups.end(), [&](const std::vector<Target*>& g) {
      return SameDevice(g.front()->device, t->device);
    });
    if (same == groups.end()) groups.push_back({t});
    else same->push_back(t);
  }
  QApplication::processEvents();
  for (const auto& group : groups) {
    std::vector<std::pair<const Target*, std::pair<int, std::string>>> jobs;
    for (const Target* t : group) jobs.push_back({t, {t->comNumber, t->device}});
    workers_.emplace_back([shared = shared_, jobs, reset = options_.resetString, settings = portSettings_] {
      for (const auto& [target, port] : jobs) {
        PortProbe probe = port.second.empty() ? PortProbe{"Port does not exist"}
                                              : ProbePort(port.first, port.second, reset, settings);
        std::lock_guard<std::mutex> lock(shared->lock);
        shared->results[target] = std::move(probe);
      }
    });
  }
  poll_->start();
}

QString TFindModemForm::LineOf(const Target& t) const {
  const QString head = t.comNumber > 0 ? QStringLiteral("Com %1: ").arg(t.comNumber) : Q(t.device) + QStringLiteral(": ");
  return head + Q(t.probe.text);
}

void TFindModemForm::Poll() {
  {
    std::lock_guard<std::mutex> lock(shared_->lock);
    for (auto& [target, probe] : shared_->results) {
      auto* t = const_cast<Target*>(target);
      if (t->done) continue;
      t->done = true;
      t->probe = probe;
      t->label->setText(LineOf(*t));
    }
  }
  for (const auto& t : targets_) {
    if (!t->done) return;
  }
  poll_->stop();
  for (std::thread& w : workers_) w.join();
  workers_.clear();
  if (!unmappedStage_) FinishComStage();
  else Finish();
}

void TFindModemForm::FinishComStage() {
  for (const auto& t : targets_) {
    if (t->probe.inUse) inUseSeen_ = true;
    if (t->probe.modem && found_ < 0) found_ = t->comNumber;
  }
  if (found_ > 0) {
    Finish();
    return;
  }
  // Nothing on the mapped ports: the serial devices no port names yet.
  unmappedStage_ = true;
  std::vector<Target*> stage;
  for (const std::string& device : options_.unmappedDevices()) {
    auto target = std::make_unique<Target>();
    target->device = device;
    target->label = new QLabel(this);
    target->label->setObjectName(QStringLiteral("DeviceLabel%1").arg(stage.size() + 1));
    grid_->addWidget(target->label, grid_->rowCount(), 0, 1, 2);
    stage.push_back(target.get());
    targets_.push_back(std::move(target));
  }
  if (stage.empty()) {
    Finish();
    return;
  }
  result_->setText(QStringLiteral("No modem on Com 1 to Com 6; testing the other serial devices...please wait."));
  StartStage(stage);
}

void TFindModemForm::Finish() {
  QString text;
  const Target* foundDevice = nullptr;
  if (found_ < 0) {
    for (const auto& t : targets_) {
      if (t->comNumber == 0 && t->probe.modem) {
        foundDevice = t.get();
        break;
      }
    }
    for (const auto& t : targets_) inUseSeen_ = inUseSeen_ || t->probe.inUse;
  }
  if (found_ > 0) {
    text = QStringLiteral("A modem was found on Com Port %1. We suggest setting the Port as Com %1.").arg(found_);
  } else if (foundDevice) {
    const int free = options_.freeComNumber();
    if (free > 0) {
      found_ = free;
      newDevice_ = foundDevice->device;
      text = QStringLiteral("A modem was found on %1. We suggest setting the Port as Com %2, which will then use "
                            "this device.")
                 .arg(Q(newDevice_))
                 .arg(free);
    } else {
      text = QStringLiteral("A modem was found on %1, but Com 1 to Com 6 are all in use. Add it to the [Ports] "
                            "section of TLM.INI in place of a port you do not use.")
                 .arg(Q(foundDevice->device));
    }
  } else if (inUseSeen_) {
    text = QStringLiteral(
        "No modem found. Please make sure that all communication programs (internet, AOL, etc) are closed, and then "
        "try again. If you know which Com port your modem uses, you can also just set the Port to that setting");
  } else {
    text = QStringLiteral(
        "No modem found. If you know which Com port your modem uses, you can also just set the Port to that setting");
  }
  result_->setText(text);
  QApplication::restoreOverrideCursor();
  running_ = false;
  ok_->show();
  ok_->setFocus();
  setWindowTitle(QStringLiteral("Find Modem"));
  QApplication::beep();
}

FindModemResult RunFindModem(QWidget* parent, const TKvCustomComPort& port, FindModemOptions options) {
  TFindModemForm form(port, std::move(options), parent);
  CenterWindow(&form);
  form.exec();
  return {form.FoundPort(), form.NewDevice()};
}

}  // namespace tlm
