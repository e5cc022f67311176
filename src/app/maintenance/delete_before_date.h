#pragma once
// The date window of "Delete All Before A Particular Date": a date typed as
// month/day/year (four-digit years; a two-digit year follows the table
// engine's century window, which the window states) or picked on the
// calendar. The window shows the date it understood in words, and OK is
// only possible for a valid date.
#include <QDate>
#include <QDialog>

class QCalendarWidget;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tlm {

class TDeleteBeforeDate : public QDialog {
  Q_OBJECT
 public:
  explicit TDeleteBeforeDate(const QDate& preset, QWidget* parent = nullptr);

  // The chosen date (invalid while the text is not a date).
  QDate Date() const { return date_; }

  QLineEdit* DateEdit() const { return edit_; }
  QLabel* MeaningLabel() const { return meaning_; }
  QCalendarWidget* Calendar() const { return calendar_; }

  // A typed date as the table engine reads dates: "mm/dd/yy" or
  // "mm/dd/yyyy" ('-' and '.' also separate); invalid when it is none.
  static QDate ParseTypedDate(const QString& text);
  // "Two-digit years: 00-49 are 2000-2049, 50-99 are 1950-1999." from the
  // engine's own reading of such years.
  static QString CenturyRuleText();

 private:
  void TextEdited(const QString& text);
  void CalendarPicked(const QDate& date);
  void Show(const QDate& date);

  QLineEdit* edit_;
  QLabel* meaning_;
  QCalendarWidget* calendar_;
  QPushButton* ok_;
  QDate date_;
};

}  // namespace tlm
