#include "app/splash_form.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QLabel>
#include <QVBoxLayout>

#include "app/core/settings.h"

namespace tlm {

TSplashform::TSplashform(QWidget* parent)
    : QDialog(parent),
      versionLabel_(new QLabel(QStringLiteral("Version ") + QString::fromLatin1(kVersionText), this)),
      editionLabel_(new QLabel(QStringLiteral("32-bit version"), this)) {
  setWindowTitle(QStringLiteral("About Tolmera"));
  auto* name = new QLabel(QStringLiteral("Tolmera"), this);
  QFont big = name->font();
  big.setPointSizeF(big.pointSizeF() * 2);
  big.setBold(true);
  name->setFont(big);
  auto* purpose = new QLabel(tr("Send and receive faxes with a fax modem."), this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  for (QLabel* label : {name, versionLabel_, editionLabel_, purpose}) {
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
  }
  layout->addSpacing(8);
  layout->addWidget(buttons);
  setMinimumWidth(320);
}

}  // namespace tlm
