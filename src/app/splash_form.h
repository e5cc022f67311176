#pragma once
// The About window.
#include <QDialog>

class QLabel;

namespace tlm {

class TSplashform : public QDialog {
  Q_OBJECT
 public:
  explicit TSplashform(QWidget* parent = nullptr);
  QLabel* VersionLabel() const { return versionLabel_; }
  QLabel* EditionLabel() const { return editionLabel_; }

 private:
  QLabel* versionLabel_;
  QLabel* editionLabel_;
};

}  // namespace tlm
