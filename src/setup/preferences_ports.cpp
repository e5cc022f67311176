#include "setup/preferences_ports.h"

#include <QRadioButton>
#include <QVBoxLayout>

#include "app/message_boxes.h"
#include "comm/com_port.h"
#include "platform/profile_file.h"

namespace tlm {

TComPortGroup::TComPortGroup(const QString& title, QWidget* parent) : QGroupBox(title, parent) {
  setObjectName(QStringLiteral("ComPort"));
  auto* layout = new QVBoxLayout(this);
  for (int i = 0; i < kSearchedComPorts; ++i) {
    buttons_[i] = new QRadioButton(QStringLiteral("Com%1").arg(i + 1), this);
    buttons_[i]->setObjectName(QStringLiteral("ComPort%1").arg(i + 1));
    layout->addWidget(buttons_[i]);
  }
}

int TComPortGroup::ItemIndex() const {
  for (int i = 0; i < kSearchedComPorts; ++i) {
    if (buttons_[i]->isChecked()) return i;
  }
  return -1;
}

void TComPortGroup::SetItemIndex(int index) {
  if (index >= 0 && index < kSearchedComPorts) {
    buttons_[index]->setChecked(true);
    return;
  }
  for (QRadioButton* b : buttons_) {
    b->setAutoExclusive(false);
    b->setChecked(false);
    b->setAutoExclusive(true);
  }
}

void TComPortGroup::ShowDevices(const std::function<std::string(int)>& deviceOf) {
  for (int i = 0; i < kSearchedComPorts; ++i) {
    const std::string device = deviceOf(i + 1);
    QString caption = QStringLiteral("Com%1").arg(i + 1);
    if (!device.empty()) caption += QStringLiteral("  (%1)").arg(QString::fromLocal8Bit(device.c_str()));
    buttons_[i]->setText(caption);
  }
}

void FindModemPort(QWidget* parent, TKvCustomComPort& port, TComPortGroup& group, PortSetupContext& context,
                   const std::string& resetString) {
  FindModemOptions options = context.findOptions;
  if (!options.deviceOf) options.deviceOf = [&context](int n) { return context.Device(n); };
  if (!options.unmappedDevices) {
    options.unmappedDevices = [&context, deviceOf = options.deviceOf] {
      std::vector<std::string> mapped = MappedDevices(ProfileFile(context.settingsPath), deviceOf);
      for (const auto& entry : context.newPorts) mapped.push_back(entry.second);
      return UnmappedSerialDevices("/dev", mapped);
    };
  }
  if (!options.freeComNumber) {
    options.freeComNumber = [&context, deviceOf = options.deviceOf] {
      ProfileFile ini(context.settingsPath);
      for (const auto& [number, device] : context.newPorts) ini.WriteString("Ports", "COM" + std::to_string(number), device);
      return FirstFreeComNumber(ini, deviceOf);
    };
  }
  options.resetString = resetString;
  const FindModemResult found = RunFindModem(parent, port, options);
  const int selected = group.ItemIndex() + 1;
  try {
    if (selected > 0) port.SetComNumber(selected);
  } catch (const std::exception&) {
    // The number is taken again when the port is next opened.
  }
  if (found.port <= 0 || (found.port == selected && found.newDevice.empty())) return;
  const std::string device = found.newDevice.empty() ? context.Device(found.port) : found.newDevice;
  const QString question = QStringLiteral("Set Com Port to Com %1 (%2)").arg(found.port).arg(QString::fromLocal8Bit(device.c_str()));
  if (!AskYesNo(parent, question, QStringLiteral("Com Port"))) return;
  if (!found.newDevice.empty()) context.newPorts[found.port] = found.newDevice;
  group.SetItemIndex(found.port - 1);
  group.ShowDevices([&context](int n) { return context.Device(n); });
}

}  // namespace tlm
