#pragma once
// The modem initialisation string helper: the user says which kind of
// modem is attached and gets a complete init string from a fixed table.
#include <QDialog>
#include <array>
#include <string>

class QCheckBox;
class QGroupBox;
class QLabel;
class QRadioButton;

namespace tlm {

inline constexpr int kModemTypeCount = 6;

// What an existing init string says about the modem: the type whose
// commands it holds, and whether its wait for carrier ("S7=") is 66 s or
// more.
struct InitStringPreset {
  int modemType = 0;
  bool longCarrierWait = false;
};
InitStringPreset PresetFromInitString(const std::string& current);

// The table's string for `modemType` (0..5) with the wait-for-carrier
// register: always S7=65 for receiving; for sending S7=120 with the long
// wait, else S7=90 for types above 0, else S7=65.
std::string ComposeInitString(int modemType, bool forSending, bool longCarrierWait);

class TModemInitStringHelperForm : public QDialog {
  Q_OBJECT
 public:
  // done() code of "Leave it Blank", beside Accepted and Rejected.
  static constexpr int kLeaveBlank = 2;

  TModemInitStringHelperForm(const std::string& current, bool forSending, QWidget* parent = nullptr);

  int ModemTypeIndex() const;
  void SetModemTypeIndex(int index);
  bool LongCarrierWait() const;
  // The string "Ok" gives.
  std::string ComposedString() const;

 private:
  bool forSending_;
  QGroupBox* ModemType = nullptr;
  std::array<QRadioButton*, kModemTypeCount> typeButtons_{};
  QCheckBox* CheckAT7 = nullptr;
  QLabel* CheckAT7Label = nullptr;
};

// Shows the helper over `parent` and returns the new string: the composed
// one on "Ok", "" on "Leave it Blank", `current` unchanged on "Cancel".
std::string BuildInitString(QWidget* parent, const std::string& current, bool forSending);

}  // namespace tlm
