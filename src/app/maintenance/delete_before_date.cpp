#include "app/maintenance/delete_before_date.h"

#include <QCalendarWidget>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "storage/xbase_expr.h"

namespace tlm {

namespace {

const QString kTypedFormat = QStringLiteral("MM/dd/yyyy");

QDate FromDtos(const std::string& dtos) { return QDate::fromString(QString::fromLatin1(dtos.c_str()), "yyyyMMdd"); }

int EngineYear(const char* typed) { return FromDtos(xbase::DtosText(xbase::CtodJulian(typed))).year(); }

}  // namespace

QDate TDeleteBeforeDate::ParseTypedDate(const QString& text) {
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty() || trimmed.contains(' ')) return {};
  return FromDtos(xbase::DtosText(xbase::CtodJulian(trimmed.toStdString())));
}

QString TDeleteBeforeDate::CenturyRuleText() {
  return QStringLiteral("Two-digit years: 00-49 are %1-%2, 50-99 are %3-%4.")
      .arg(EngineYear("01/01/00"))
      .arg(EngineYear("01/01/49"))
      .arg(EngineYear("01/01/50"))
      .arg(EngineYear("01/01/99"));
}

TDeleteBeforeDate::TDeleteBeforeDate(const QDate& preset, QWidget* parent)
    : QDialog(parent),
      edit_(new QLineEdit(this)),
      meaning_(new QLabel(this)),
      calendar_(new QCalendarWidget(this)),
      ok_(nullptr) {
  setWindowTitle(QStringLiteral("Delete all before..."));
  edit_->setObjectName(QStringLiteral("DateEdit"));
  meaning_->setObjectName(QStringLiteral("DateMeaning"));
  calendar_->setObjectName(QStringLiteral("Calendar"));
  calendar_->setGridVisible(true);

  auto* label = new QLabel(QStringLiteral("&Date (month/day/year):"), this);
  label->setBuddy(edit_);
  auto* rule = new QLabel(CenturyRuleText(), this);
  rule->setObjectName(QStringLiteral("CenturyRule"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(edit_, &QLineEdit::textEdited, this, &TDeleteBeforeDate::TextEdited);
  connect(calendar_, &QCalendarWidget::clicked, this, &TDeleteBeforeDate::CalendarPicked);
  connect(calendar_, &QCalendarWidget::activated, this, &TDeleteBeforeDate::CalendarPicked);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(edit_);
  layout->addWidget(meaning_);
  layout->addWidget(rule);
  layout->addWidget(calendar_, 1);
  layout->addWidget(buttons);

  CalendarPicked(preset);
  edit_->selectAll();
  edit_->setFocus();
}

void TDeleteBeforeDate::TextEdited(const QString& text) {
  const QDate date = ParseTypedDate(text);
  if (date.isValid()) calendar_->setSelectedDate(date);
  Show(date);
}

void TDeleteBeforeDate::CalendarPicked(const QDate& date) {
  edit_->setText(date.toString(kTypedFormat));
  calendar_->setSelectedDate(date);
  Show(date);
}

void TDeleteBeforeDate::Show(const QDate& date) {
  date_ = date;
  ok_->setEnabled(date.isValid());
  meaning_->setText(date.isValid() ? QLocale::system().toString(date, QLocale::LongFormat)
                                   : QStringLiteral("Not a date: type month/day/year, e.g. 12/31/1998"));
}

}  // namespace tlm
