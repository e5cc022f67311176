#include "compose/picture_size_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QLocale>
#include <QVBoxLayout>
#include <cmath>
#include <optional>

#include "app/message_boxes.h"
#include "app/window_placement.h"
#include "compose/dialog_buttons.h"
#include "richtext/picture_tools.h"
#include "richtext/rich_text_editor.h"

namespace tlm {
namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kTwipsPerCm = 566.929;
constexpr int kMinTwips = 15;     // a pixel on the screen
constexpr int kMaxTwips = 63360;  // 44 inches

std::optional<double> ReadNumber(const QString& text) {
  bool ok = false;
  double value = QLocale().toDouble(text.trimmed(), &ok);
  if (!ok) value = QLocale::c().toDouble(text.trimmed(), &ok);
  if (!ok || !std::isfinite(value) || value <= 0 || value > 1e6) return std::nullopt;
  return value;
}

int ClampTwips(double twips) { return static_cast<int>(std::lround(std::clamp(twips, double(kMinTwips), double(kMaxTwips)))); }

}  // namespace

TPictureSizeDlg::TPictureSizeDlg(RichTextEditor& editor, const QTextCursor& picture, QWidget* parent)
    : QDialog(parent), editor_(editor), picture_(picture), original_(PictureSizeTwips(picture)), size_(original_) {
  setObjectName(QStringLiteral("TPictureSizeDlg"));
  setWindowTitle(QStringLiteral("Picture Size"));
  UnitsCombo = new QComboBox(this);
  UnitsCombo->setObjectName(QStringLiteral("UnitsCombo"));
  UnitsCombo->addItems({QStringLiteral("Inch"), QStringLiteral("Cm")});
  auto edit = [this](const char* name, Field field) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(name));
    connect(e, &QLineEdit::textEdited, this, [this, field] { EditChanged(field); });
    return e;
  };
  WidthEdit = edit("WidthEdit", kWidth);
  HeightEdit = edit("HeightEdit", kHeight);
  ScaleEdit = edit("ScaleEdit", kScale);
  KeepProportions = new QCheckBox(QStringLiteral("&Keep proportions"), this);
  KeepProportions->setObjectName(QStringLiteral("KeepProportions"));
  KeepProportions->setChecked(true);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Units"), UnitsCombo);
  form->addRow(QStringLiteral("&Width"), WidthEdit);
  form->addRow(QStringLiteral("&Height"), HeightEdit);
  form->addRow(QStringLiteral("&Scale (%)"), ScaleEdit);
  form->addRow(QString(), KeepProportions);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(OkCancelButtons(this));
  connect(UnitsCombo, &QComboBox::currentIndexChanged, this, [this] { Display(kScale); });
  Display(static_cast<Field>(-1));
  WidthEdit->setFocus();
  WidthEdit->selectAll();
}

bool TPictureSizeDlg::InInches() const { return UnitsCombo->currentIndex() == 0; }

void TPictureSizeDlg::Display(Field except) {
  displaying_ = true;
  const double perUnit = InInches() ? kTwipsPerInch : kTwipsPerCm;
  if (except != kWidth) WidthEdit->setText(QLocale().toString(size_.width() / perUnit, 'f', 2));
  if (except != kHeight) HeightEdit->setText(QLocale().toString(size_.height() / perUnit, 'f', 2));
  if (except != kScale) {
    const double scale = original_.width() > 0 ? 100.0 * size_.width() / original_.width() : 100.0;
    ScaleEdit->setText(QLocale().toString(static_cast<int>(std::lround(scale))));
  }
  displaying_ = false;
}

void TPictureSizeDlg::EditChanged(Field field) {
  if (displaying_) return;
  QLineEdit* edits[] = {WidthEdit, HeightEdit, ScaleEdit};
  const std::optional<double> number = ReadNumber(edits[field]->text());
  unreadable_ = !number;
  if (!number) return;
  const double perUnit = InInches() ? kTwipsPerInch : kTwipsPerCm;
  const bool keep = KeepProportions->isChecked() && original_.width() > 0 && original_.height() > 0;
  const double ratio = keep ? double(original_.height()) / original_.width() : 0;
  switch (field) {
    case kWidth:
      size_.setWidth(ClampTwips(*number * perUnit));
      if (keep) size_.setHeight(ClampTwips(size_.width() * ratio));
      break;
    case kHeight:
      size_.setHeight(ClampTwips(*number * perUnit));
      if (keep) size_.setWidth(ClampTwips(size_.height() / ratio));
      break;
    case kScale:
      size_.setWidth(ClampTwips(original_.width() * *number / 100.0));
      size_.setHeight(ClampTwips(original_.height() * *number / 100.0));
      break;
  }
  Display(field);
}

void TPictureSizeDlg::accept() {
  if (unreadable_) {
    ShowInformation(this, QStringLiteral("Type a size greater than 0."));
    return;
  }
  ResizePicture(picture_, size_);
  editor_.Reformat();
  QDialog::accept();
}

bool EditPictureSize(RichTextEditor& editor, QWidget* owner) {
  QTextCursor picture;
  if (!PictureAtCursor(editor.TextCursor(), picture)) {
    ShowInformation(owner, QStringLiteral("Click on a picture first, then choose Picture Size."));
    return false;
  }
  TPictureSizeDlg dialog(editor, picture, owner);
  CenterWindow(&dialog);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace tlm
