#pragma once
// The configuration report window: the report in a read-only memo, with a
// button that copies it to the clipboard.
#include <QDialog>
#include <QStringList>

#include "app/core/settings.h"
#include "setup/config_report.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tlm {

class TConfigurationInfo : public QDialog {
  Q_OBJECT
 public:
  explicit TConfigurationInfo(const QStringList& report, QWidget* parent = nullptr);

  const QStringList& Report() const { return report_; }
  QPlainTextEdit* Memo() const { return Memo1; }
  QPushButton* CopyButton() const { return copy_; }
  QPushButton* OkButton() const { return ok_; }

  void CopyToClipboardClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QStringList report_;
  QLabel* label_;
  QPlainTextEdit* Memo1;
  QPushButton* copy_;
  QPushButton* ok_;
};

// The longest the modem on the configured port is asked for its replies.
inline constexpr int kModemQueryBudgetMs = 6000;

// Gathers every fact of the report (the modem's replies only when
// `askModem`; receive mode holds the port) and lays it out. Keeps the
// interface alive while the modem is asked.
QStringList CollectConfigReport(const Settings& settings, bool askModem = true);

// Builds the report (hourglass meanwhile) and shows it modally.
void ShowConfigurationInformation(QWidget* parent, const Settings& settings, bool askModem = true);

}  // namespace tlm
