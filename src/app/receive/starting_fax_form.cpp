#include "app/receive/starting_fax_form.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tlm {

namespace {

QLabel* CentredLabel(const QString& text, QWidget* parent, bool bold = false) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignCenter);
  if (bold) {
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
  }
  return label;
}

}  // namespace

TStartingFaxForm::TStartingFaxForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("StartingFaxForm"));
  setWindowTitle(QStringLiteral("Starting Receive mode..."));
  setModal(false);

  StartingPanel = new QWidget(this);
  auto* starting = new QVBoxLayout(StartingPanel);
  starting->addWidget(CentredLabel(QStringLiteral("Please wait while fax receive mode is started....."), StartingPanel));

  ReadyPanel = new QWidget(this);
  auto* ready = new QVBoxLayout(ReadyPanel);
  ready->addWidget(CentredLabel(QStringLiteral("Tolmera is in receive mode now"), ReadyPanel, true));
  ready->addWidget(CentredLabel(QStringLiteral("To end receive mode, press the STOP button"), ReadyPanel));
  ready->addWidget(CentredLabel(QStringLiteral("While in receive mode, sending faxes is not possible"), ReadyPanel));

  OkButton = new QPushButton(QStringLiteral("Ok"), this);
  OkButton->setObjectName(QStringLiteral("OkButton"));
  OkButton->setDefault(true);
  connect(OkButton, &QPushButton::clicked, this, &QDialog::hide);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(StartingPanel);
  layout->addWidget(ReadyPanel);
  layout->addWidget(OkButton, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  hideTimer_ = new QTimer(this);
  hideTimer_->setSingleShot(true);
  hideTimer_->setInterval(kHideAfterMs);
  connect(hideTimer_, &QTimer::timeout, this, &QDialog::hide);
  ShowStarting();
}

void TStartingFaxForm::ShowStarting() {
  StartingPanel->show();
  ReadyPanel->hide();
  OkButton->hide();
}

void TStartingFaxForm::ShowReady() {
  StartingPanel->hide();
  ReadyPanel->show();
  OkButton->show();
}

bool TStartingFaxForm::Ready() const { return !ReadyPanel->isHidden(); }

void TStartingFaxForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  hideTimer_->start();
}

void TStartingFaxForm::mousePressEvent(QMouseEvent* event) {
  QDialog::mousePressEvent(event);
  hide();
}

}  // namespace tlm
