#pragma once
// The conditions window of the cleanup ("Delete Faxes Where...."): one field
// of the shown log (FROM on the incoming tab, RECIPIENT or PHONE on the
// outgoing one) compared with a text, exactly or in part, letter case and
// surrounding blanks aside. The text is always matched literally.
#include <QDialog>
#include <string>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace tlm {

class TDeleteForConditions : public QDialog {
  Q_OBJECT
 public:
  // `outgoing` chooses the tab's choices; the boxes are preset from the
  // current record's fields (`from` on the incoming tab).
  TDeleteForConditions(bool outgoing, const QString& recipient, const QString& phone, const QString& from,
                       QWidget* parent = nullptr);

  // After OK: the condition for DeleteWhere.
  const std::string& Condition() const { return condition_; }

  QLineEdit* FaxFROM = nullptr;
  QLineEdit* FaxRECIPIENT = nullptr;
  QLineEdit* FaxPHONE = nullptr;
  QRadioButton* FromChoice = nullptr;
  QRadioButton* RecipientChoice = nullptr;
  QRadioButton* PhoneChoice = nullptr;
  QCheckBox* ExactMatch = nullptr;

  // Checks the chosen box, asks for confirmation and closes with OK.
  void accept() override;

 private:
  std::string condition_;
};

}  // namespace tlm
