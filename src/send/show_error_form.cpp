#include "send/show_error_form.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/window_placement.h"

namespace tlm {

namespace {

bool gOpen = false;

TShowErrorForm::ProblemSolver& Solver() {
  static TShowErrorForm::ProblemSolver solver;
  return solver;
}

// The error window breaks lines with CR LF; a lone CR or LF breaks too.
QString PlainLines(const QString& text) {
  QString out = text;
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return out;
}

}  // namespace

void TShowErrorForm::SetProblemSolver(ProblemSolver solver) { Solver() = std::move(solver); }
const TShowErrorForm::ProblemSolver& TShowErrorForm::CurrentProblemSolver() { return Solver(); }
bool TShowErrorForm::IsOpen() { return gOpen; }

TShowErrorForm::TShowErrorForm(QWidget* parent, const QString& caption, const QString& message, int errorCode,
                               Options options)
    : QDialog(parent), errorCode_(errorCode), options_(options) {
  setObjectName(QStringLiteral("ShowErrorForm"));
  setWindowTitle(caption);
  gOpen = true;

  Memo = new QPlainTextEdit(this);
  Memo->setObjectName(QStringLiteral("Memo"));
  Memo->setReadOnly(true);
  Memo->setPlainText(PlainLines(message));
  Memo->setFocusPolicy(Qt::NoFocus);

  InfoLabel = new QLabel(QStringLiteral("For more information and possible solutions, click the Fax Problem Solver button"),
                         this);
  InfoLabel->setObjectName(QStringLiteral("InfoLabel"));
  InfoLabel->setWordWrap(true);

  OkButton = new QPushButton(QStringLiteral("Ok"), this);
  OkButton->setObjectName(QStringLiteral("OkButton"));
  OkButton->setDefault(true);
  SolverButton = new QPushButton(QStringLiteral(" Fax Problem Solver"), this);
  SolverButton->setObjectName(QStringLiteral("ProblemSolverButton"));
  SolverButton->setToolTip(QStringLiteral("Start the Fax Problem Solver to read about solutions to this error"));
  SolverButton->setEnabled(static_cast<bool>(Solver()));

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OkButton);
  if (options_.withContinue) {
    ContinueButton = new QPushButton(QStringLiteral("Continue"), this);
    ContinueButton->setObjectName(QStringLiteral("ContinueButton"));
    buttons->addWidget(ContinueButton);
    connect(ContinueButton, &QPushButton::clicked, this, [this] {
      outcome_ = Outcome::kContinue;
      accept();
    });
  }
  buttons->addWidget(SolverButton);
  buttons->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Memo, 1);
  layout->addWidget(InfoLabel);
  layout->addLayout(buttons);

  connect(OkButton, &QPushButton::clicked, this, [this] {
    outcome_ = Outcome::kOk;
    accept();
  });
  connect(SolverButton, &QPushButton::clicked, this, &TShowErrorForm::ProblemSolverClick);

  if (options_.autoClose) {
    closeTimer_ = new QTimer(this);
    closeTimer_->setObjectName(QStringLiteral("CloseTimer"));
    closeTimer_->setSingleShot(true);
    closeTimer_->setInterval(kAutoCloseMs);
    connect(closeTimer_, &QTimer::timeout, this, [this] {
      outcome_ = Outcome::kOk;
      reject();
    });
    closeTimer_->start();
  }
  FitHeight(Memo->toPlainText());
  setTabOrder(OkButton, ContinueButton ? ContinueButton : SolverButton);
  if (ContinueButton) setTabOrder(ContinueButton, SolverButton);
}

TShowErrorForm::~TShowErrorForm() { gOpen = false; }

void TShowErrorForm::FitHeight(const QString& message) {
  // The message area grows with the message: (lines + 3) text lines.
  const int lines = int(message.count(QLatin1Char('\n'))) + 1;
  const int lineHeight = Memo->fontMetrics().lineSpacing();
  Memo->setMinimumHeight((lines + 3) * lineHeight);
  Memo->setMinimumWidth(Memo->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 60);
  adjustSize();
}

void TShowErrorForm::ProblemSolverClick() {
  const ProblemSolver solver = Solver();
  if (!solver) return;
  if (options_.withContinue) {
    // The caller still waits for Ok or Continue.
    solver(this, errorCode_);
    return;
  }
  outcome_ = Outcome::kOk;
  accept();
  solver(parentWidget(), errorCode_);
}

TShowErrorForm::Outcome TShowErrorForm::Show(QWidget* parent, const QString& caption, const QString& message,
                                             int errorCode, Options options) {
  if (gOpen) return Outcome::kNotShown;
  TShowErrorForm form(parent, caption, message, errorCode, options);
  CenterWindow(&form);
  form.exec();
  return form.Result();
}

void TShowErrorForm::ShowError(QWidget* parent, const QString& caption, const QString& message, int errorCode,
                               bool autoClose) {
  Show(parent, caption, message, errorCode, Options{false, autoClose});
}

bool TShowErrorForm::ShowContinue(QWidget* parent, const QString& caption, const QString& message, int errorCode) {
  return Show(parent, caption, message, errorCode, Options{true, false}) == Outcome::kContinue;
}

}  // namespace tlm
