#include "compose/paragraph_prop_dlg.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QVBoxLayout>
#include <cmath>
#include <optional>

#include "app/message_boxes.h"
#include "compose/dialog_buttons.h"

namespace tlm {

namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kTwipsPerCm = 566.929;
constexpr double kTwipsPerPoint = 20.0;
constexpr int kSameAsLeft = 0;
constexpr int kIndentedBy = 1;

// A decimal number in the user's notation or with a point; empty text is 0.
std::optional<double> ReadNumber(const QString& text) {
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty()) return 0.0;
  bool ok = false;
  double value = QLocale().toDouble(trimmed, &ok);
  if (!ok) value = QLocale::c().toDouble(trimmed, &ok);
  if (!ok || !std::isfinite(value) || std::fabs(value) > 1e6) return std::nullopt;
  return value;
}

}  // namespace

TParagraphPropDlg::TParagraphPropDlg(RichTextEditor& editor, QWidget* parent)
    : QDialog(parent), editor_(editor), values_(editor.CurrentParagraph()) {
  setObjectName(QStringLiteral("TParagraphPropDlg"));
  setWindowTitle(QStringLiteral("Paragraph Properties"));
  auto* form = new QFormLayout;
  ComboBox1 = new QComboBox(this);
  ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
  ComboBox1->addItems({QStringLiteral("Inch"), QStringLiteral("Cm")});
  FirstIndentCombo = new QComboBox(this);
  FirstIndentCombo->setObjectName(QStringLiteral("FirstIndentCombo"));
  FirstIndentCombo->addItems({QStringLiteral("Same as Left Indent"), QStringLiteral("Indented by")});
  form->addRow(QStringLiteral("&Units"), ComboBox1);
  form->addRow(QStringLiteral("Left Indent"), AddEdit("LeftIndent", kLeft));
  form->addRow(QStringLiteral("Right Indent"), AddEdit("RightIndent", kRight));
  form->addRow(QStringLiteral("First line"), FirstIndentCombo);
  form->addRow(QStringLiteral("First Indent"), AddEdit("FirstIndent", kFirst));
  form->addRow(QStringLiteral("Space before (pts)"), AddEdit("SpaceBeforePts", kBefore));
  form->addRow(QStringLiteral("Space after (pts)"), AddEdit("SpaceAfterPts", kAfter));
  form->addRow(QStringLiteral("Line Height (pts)"), AddEdit("LineHeightPts", kLineHeight));

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(OkCancelButtons(this));

  // The first indent is kept as an absolute position in the dialog, as the
  // user sees it; the paragraph holds it relative to the left indent.
  values_.firstIndent += values_.leftIndent;
  FirstIndentCombo->setCurrentIndex(values_.firstIndent != values_.leftIndent ? kIndentedBy : kSameAsLeft);
  edits_[kFirst]->setEnabled(FirstIndentCombo->currentIndex() == kIndentedBy);
  connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this] {
    Display();
    SetHints();
  });
  connect(FirstIndentCombo, &QComboBox::currentIndexChanged, this, &TParagraphPropDlg::FirstIndentChoiceChanged);
  Display();
  SetHints();
}

QLineEdit* TParagraphPropDlg::AddEdit(const char* name, Value value) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(QString::fromLatin1(name));
  edits_[value] = edit;
  connect(edit, &QLineEdit::textChanged, this, [this, value] { EditChanged(value); });
  return edit;
}

bool TParagraphPropDlg::InInches() const { return ComboBox1->currentIndex() == 0; }

int& TParagraphPropDlg::Twips(Value value) {
  switch (value) {
    case kFirst: return values_.firstIndent;
    case kLeft: return values_.leftIndent;
    case kRight: return values_.rightIndent;
    case kBefore: return values_.spaceBefore;
    case kAfter: return values_.spaceAfter;
    default: return values_.lineHeight;
  }
}

void TParagraphPropDlg::Display() {
  displaying_ = true;
  const double perUnit = InInches() ? kTwipsPerInch : kTwipsPerCm;
  for (int i = 0; i < kValueCount; ++i) {
    const auto value = static_cast<Value>(i);
    const int twips = Twips(value);
    edits_[i]->setText(IsIndent(value) ? QLocale().toString(twips / perUnit, 'f', 2)
                                       : QLocale().toString(static_cast<int>(std::lround(twips / kTwipsPerPoint))));
    unreadable_[i] = false;
  }
  displaying_ = false;
}

void TParagraphPropDlg::SetHints() {
  const QString unit = InInches() ? QStringLiteral("inches") : QStringLiteral("centimeters");
  edits_[kLeft]->setToolTip(QStringLiteral("Specify left indent for the paragraph in ") + unit);
  edits_[kRight]->setToolTip(QStringLiteral("Specify right indent for the paragraph in ") + unit);
  edits_[kFirst]->setToolTip(QStringLiteral("Specify first line indent for the paragraph in ") + unit);
}

void TParagraphPropDlg::EditChanged(Value value) {
  if (displaying_) return;
  const std::optional<double> number = ReadNumber(edits_[value]->text());
  // An unreadable number leaves the stored value as it was; OK reports it.
  unreadable_[value] = !number;
  if (number) {
    const double factor = IsIndent(value) ? (InInches() ? kTwipsPerInch : kTwipsPerCm) : kTwipsPerPoint;
    Twips(value) = static_cast<int>(std::lround(*number * factor));
  }
  if (value == kLeft && FirstIndentCombo->currentIndex() == kSameAsLeft) edits_[kFirst]->setText(edits_[kLeft]->text());
}

void TParagraphPropDlg::FirstIndentChoiceChanged() {
  const bool indented = FirstIndentCombo->currentIndex() == kIndentedBy;
  edits_[kFirst]->setEnabled(indented);
  if (!indented) edits_[kFirst]->setText(edits_[kLeft]->text());
}

void TParagraphPropDlg::accept() {
  for (int i = 0; i < kValueCount; ++i) {
    if (unreadable_[i]) {
      ShowInformation(this, QStringLiteral("'%1' is not a valid floating point value").arg(edits_[i]->text()));
      edits_[i]->setFocus();
      edits_[i]->selectAll();
      return;
    }
  }
  ParagraphAttributes applied = editor_.CurrentParagraph();
  applied.spaceBefore = values_.spaceBefore;
  applied.lineHeight = values_.lineHeight;
  applied.spaceAfter = values_.spaceAfter;
  applied.firstIndent = values_.firstIndent - values_.leftIndent;
  applied.leftIndent = values_.leftIndent;
  applied.rightIndent = values_.rightIndent;
  editor_.SetCurrentParagraph(applied);
  QDialog::accept();
}

}  // namespace tlm
