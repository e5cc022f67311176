#include "setup/init_string_helper.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>

#include "app/window_placement.h"

namespace tlm {

namespace {

// Shown with a doubled ampersand, the caption form of a single one.
const std::array<const char*, kModemTypeCount> kModemTypeTexts = {
    "Hayes Compatible modem   or   UNKNOWN",
    "US Robotics/3COM Modem   or   WinModem",
    "US Robotics/3COM Sportster 28.8 or Early 33.6 model",
    "US Robotics/3COM Late Model Sportster 33.6 model",
    "US Robotics/3COM Sportster X2 modem",
    "Cirrus Logic or AT&&T modem",
};

const std::array<const char*, kModemTypeCount> kBaseStrings = {
    "AT&F&C1&D2&K3", "AT&H3&I2&R2", "AT&H3&I2&R2", "AT&H3&I2&R2", "AT&H3&I2&R2", "AT&F&C1&D2\\Q3",
};
const std::array<const char*, kModemTypeCount> kTailStrings = {"", "", "S36=0", "S36=8", "S36=8S33=34", ""};

constexpr int kLongWaitSeconds = 66;

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  return text;
}

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// The number after "S7=": the six characters from "S7=" on, trailing
// non-digits dropped, read from the fourth character; -1 when unreadable.
int CarrierWait(const std::string& upper) {
  const std::size_t at = upper.find("S7=");
  if (at == std::string::npos) return -1;
  std::string field = upper.substr(at, 6);
  while (!field.empty() && !std::isdigit(static_cast<unsigned char>(field.back()))) field.pop_back();
  if (field.size() <= 3) return -1;
  const std::string digits = field.substr(3);
  if (!std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); })) return -1;
  return std::stoi(digits);
}

// A label that toggles its check box when clicked.
class ToggleLabel : public QLabel {
 public:
  ToggleLabel(const QString& text, QCheckBox* box, QWidget* parent) : QLabel(text, parent), box_(box) {}

 protected:
  void mousePressEvent(QMouseEvent*) override { box_->toggle(); }

 private:
  QCheckBox* box_;
};

}  // namespace

InitStringPreset PresetFromInitString(const std::string& current) {
  const std::string upper = Upper(current);
  InitStringPreset preset;
  preset.longCarrierWait = CarrierWait(upper) >= kLongWaitSeconds;
  if (Contains(upper, "S36=0")) preset.modemType = 2;
  else if (Contains(upper, "S33=34")) preset.modemType = 4;
  else if (Contains(upper, "S36=8")) preset.modemType = 3;
  else if (Contains(upper, "\\Q3")) preset.modemType = 5;
  else if (Contains(upper, "&R2")) preset.modemType = 1;
  return preset;
}

std::string ComposeInitString(int modemType, bool forSending, bool longCarrierWait) {
  modemType = std::clamp(modemType, 0, kModemTypeCount - 1);
  std::string s7 = "S7=65";
  if (forSending) {
    if (longCarrierWait) s7 = "S7=120";
    else if (modemType > 0) s7 = "S7=90";
  }
  return std::string(kBaseStrings[modemType]) + s7 + kTailStrings[modemType];
}

TModemInitStringHelperForm::TModemInitStringHelperForm(const std::string& current, bool forSending, QWidget* parent)
    : QDialog(parent), forSending_(forSending) {
  setObjectName(QStringLiteral("ModemInitStringHelperForm"));
  setWindowTitle(QStringLiteral("Modem Initialization String Helper"));

  ModemType = new QGroupBox(QStringLiteral("I have a:"), this);
  ModemType->setObjectName(QStringLiteral("ModemType"));
  auto* typeLayout = new QVBoxLayout(ModemType);
  for (int i = 0; i < kModemTypeCount; ++i) {
    typeButtons_[i] = new QRadioButton(QString::fromLatin1(kModemTypeTexts[i]), ModemType);
    typeButtons_[i]->setObjectName(QStringLiteral("ModemType%1").arg(i));
    typeLayout->addWidget(typeButtons_[i]);
  }
  typeButtons_[0]->setChecked(true);

  CheckAT7 = new QCheckBox(this);
  CheckAT7->setObjectName(QStringLiteral("CheckAT7"));
  CheckAT7Label = new ToggleLabel(
      QStringLiteral("The Faxmodem frequently hangs up before the faxmodem/fax machine on the other end answers "
                     "and/or I have problems with international calls"),
      CheckAT7, this);
  CheckAT7Label->setObjectName(QStringLiteral("CheckAT7Label"));
  CheckAT7Label->setWordWrap(true);
  auto* checkRow = new QHBoxLayout;
  checkRow->addWidget(CheckAT7, 0, Qt::AlignTop);
  checkRow->addWidget(CheckAT7Label, 1);

  auto* ok = new QPushButton(QStringLiteral("Ok"), this);
  ok->setObjectName(QStringLiteral("OkButton"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("CancelButton"));
  auto* blank = new QPushButton(QStringLiteral("Leave it Blank"), this);
  blank->setObjectName(QStringLiteral("BlankButton"));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(blank, &QPushButton::clicked, this, [this] { done(kLeaveBlank); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  buttons->addWidget(blank);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ModemType);
  layout->addLayout(checkRow);
  layout->addLayout(buttons);

  const InitStringPreset preset = PresetFromInitString(current);
  CheckAT7->setChecked(preset.longCarrierWait);
  CheckAT7->setVisible(forSending_);
  CheckAT7Label->setVisible(forSending_);
  SetModemTypeIndex(preset.modemType);
}

int TModemInitStringHelperForm::ModemTypeIndex() const {
  for (int i = 0; i < kModemTypeCount; ++i) {
    if (typeButtons_[i]->isChecked()) return i;
  }
  return 0;
}

void TModemInitStringHelperForm::SetModemTypeIndex(int index) {
  typeButtons_[std::clamp(index, 0, kModemTypeCount - 1)]->setChecked(true);
}

bool TModemInitStringHelperForm::LongCarrierWait() const { return CheckAT7->isChecked(); }

std::string TModemInitStringHelperForm::ComposedString() const {
  return ComposeInitString(ModemTypeIndex(), forSending_, LongCarrierWait());
}

std::string BuildInitString(QWidget* parent, const std::string& current, bool forSending) {
  TModemInitStringHelperForm form(current, forSending, parent);
  CenterWindow(&form);
  switch (form.exec()) {
    case QDialog::Accepted:
      return form.ComposedString();
    case TModemInitStringHelperForm::kLeaveBlank:
      return {};
    default:
      return current;
  }
}

}  // namespace tlm
