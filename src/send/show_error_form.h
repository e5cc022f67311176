#pragma once
// The error window: a caption, the message, a pointer to the Fax Problem
// Solver, and "Ok" (plus "Continue" when the caller offers to go on). Only
// one is open at a time; receive mode lets it close itself after 30 seconds.
#include <QDialog>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace tlm {

class TShowErrorForm : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kAutoCloseMs = 30000;

  // How the window was left.
  enum class Outcome { kOk, kContinue, kNotShown };

  struct Options {
    bool withContinue = false;
    bool autoClose = false;  // closes itself after kAutoCloseMs
  };

  // Shows the window modally over `parent`. Returns at once with kNotShown
  // while another error window is open.
  static Outcome Show(QWidget* parent, const QString& caption, const QString& message, int errorCode,
                      Options options);
  // The plain form ("Ok" only).
  static void ShowError(QWidget* parent, const QString& caption, const QString& message, int errorCode,
                        bool autoClose = false);
  // The form with "Continue": true when Continue was pressed.
  static bool ShowContinue(QWidget* parent, const QString& caption, const QString& message, int errorCode);

  // The Fax Problem Solver, opened for an error code. Until one is set the
  // button stays disabled with its hint.
  using ProblemSolver = std::function<void(QWidget* parent, int errorCode)>;
  static void SetProblemSolver(ProblemSolver solver);
  static const ProblemSolver& CurrentProblemSolver();

  static bool IsOpen();

  TShowErrorForm(QWidget* parent, const QString& caption, const QString& message, int errorCode, Options options);
  ~TShowErrorForm() override;

  Outcome Result() const { return outcome_; }

 private:
  void ProblemSolverClick();
  void FitHeight(const QString& message);

  int errorCode_;
  Options options_;
  Outcome outcome_ = Outcome::kOk;
  QPlainTextEdit* Memo = nullptr;
  QLabel* InfoLabel = nullptr;
  QPushButton* OkButton = nullptr;
  QPushButton* SolverButton = nullptr;
  QPushButton* ContinueButton = nullptr;
  QTimer* closeTimer_ = nullptr;
};

}  // namespace tlm
