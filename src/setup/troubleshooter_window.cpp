#include "setup/troubleshooter_window.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QTextDocument>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/message_boxes.h"
#include "app/window_placement.h"
#include "platform/com_ports.h"
#include "richtext/rich_text_editor.h"
#include "setup/troubleshooter_analysis.h"
#include "setup/troubleshooter_answers.h"
#include "setup/troubleshooter_topics.h"

namespace tlm {

namespace {

constexpr int kTopicsPage = 0;
constexpr int kAnswersPage = 1;
constexpr int kIdRole = Qt::UserRole;

void AddNodes(QTreeWidgetItem* parent, QTreeWidget* tree, const std::vector<troubleshooter::TopicNode>& nodes) {
  for (const troubleshooter::TopicNode& node : nodes) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    item->setText(0, QString::fromStdString(node.title));
    item->setData(0, kIdRole, node.id);
    AddNodes(item, tree, node.children);
  }
}

// The device of the configured port, "" when it maps to none.
std::string PortDevice(const Settings& settings) {
  const int com = settings.comPort + 1;
  if (com < 1 || com > kMaxComPort) return {};
  return ComDevicePath(com);
}

}  // namespace

TFaxProblemSolverDialog::TFaxProblemSolverDialog(const Settings& settings, int preselectedId, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      preselectedId_(preselectedId),
      pages_(new QTabWidget(this)),
      tree_(new QTreeWidget(pages_)),
      answer_(new RichTextEditor(pages_)),
      print_(new QPushButton(QStringLiteral("&Print"), this)),
      copy_(new QPushButton(QStringLiteral("&Copy to Clipboard"), this)),
      ok_(new QPushButton(QStringLiteral("Ok"), this)) {
  setObjectName(QStringLiteral("TFaxProblemSolverDialog"));
  setWindowTitle(QStringLiteral("Fax Problem Solver"));
  pages_->setObjectName(QStringLiteral("PageControl"));
  tree_->setObjectName(QStringLiteral("TopicTree"));
  tree_->setHeaderHidden(true);
  tree_->setColumnCount(1);
  tree_->header()->setStretchLastSection(true);
  tree_->setWordWrap(true);
  tree_->installEventFilter(this);
  answer_->setObjectName(QStringLiteral("AnswerView"));
  answer_->ToolBar()->hide();
  answer_->SetReadOnly(true);
  pages_->addTab(tree_, QStringLiteral("Select Topic"));
  pages_->addTab(answer_, QStringLiteral("Answers"));
  print_->setObjectName(QStringLiteral("PrintButton"));
  copy_->setObjectName(QStringLiteral("CopyButton"));
  ok_->setObjectName(QStringLiteral("OkButton"));
  for (QPushButton* b : {print_, copy_}) b->setAutoDefault(false);
  ok_->setDefault(true);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(print_);
  buttons->addWidget(copy_);
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_, 1);
  layout->addLayout(buttons);
  setTabOrder(pages_, tree_);
  setTabOrder(tree_, print_);
  setTabOrder(print_, copy_);
  setTabOrder(copy_, ok_);
  resize(880, 600);

  connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { TopicSelected(item); });
  connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this] { ShowAnswers(); });
  connect(pages_, &QTabWidget::currentChanged, this, [this] { PageChanged(); });
  connect(print_, &QPushButton::clicked, this, &TFaxProblemSolverDialog::PrintClick);
  connect(copy_, &QPushButton::clicked, this, &TFaxProblemSolverDialog::CopyToClipboardClick);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  PageChanged();
}

void TFaxProblemSolverDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!activated_) FormActivate();
}

void TFaxProblemSolverDialog::FormActivate() {
  activated_ = true;
  analysisDocument_ =
      troubleshooter::AnalysisDocument(troubleshooter::AnalyseSettings(settings_, PortDevice(settings_)));
  BuildTree();
  QTreeWidgetItem* selected = nullptr;
  if (preselectedId_ >= 0) {
    for (QTreeWidgetItemIterator it(tree_); *it; ++it) {
      if ((*it)->data(0, kIdRole).toInt() == preselectedId_) {
        selected = *it;
        break;
      }
    }
  }
  if (!selected) selected = tree_->topLevelItem(0);
  {
    const QSignalBlocker quiet(tree_);  // the topic is shown once, below
    tree_->setCurrentItem(selected);
  }
  tree_->scrollToItem(selected);
  TopicSelected(selected);
  tree_->setFocus();
}

void TFaxProblemSolverDialog::BuildTree() {
  tree_->clear();
  AddNodes(nullptr, tree_, troubleshooter::TopicTree());
  tree_->expandAll();
}

void TFaxProblemSolverDialog::TopicSelected(QTreeWidgetItem* item) {
  if (!item) return;
  currentId_ = item->data(0, kIdRole).toInt();
  currentTitle_ = item->text(0);
  answerRtf_ = troubleshooter::ComposeAnswer(currentId_, currentTitle_.toStdString(), analysisDocument_);
  answer_->SetRtfText(answerRtf_);
  answer_->CaretToStart();
  pages_->setTabVisible(kAnswersPage, currentId_ >= 0);
  PageChanged();
}

bool TFaxProblemSolverDialog::AnswersTabVisible() const { return pages_->isTabVisible(kAnswersPage); }

QString TFaxProblemSolverDialog::AnswerText() const { return answer_->Document()->toPlainText(); }

void TFaxProblemSolverDialog::ShowAnswers() {
  if (AnswersTabVisible()) pages_->setCurrentIndex(kAnswersPage);
}

void TFaxProblemSolverDialog::PageChanged() {
  const bool answers = pages_->currentIndex() == kAnswersPage && AnswersTabVisible();
  print_->setVisible(answers);
  copy_->setVisible(answers);
}

bool TFaxProblemSolverDialog::eventFilter(QObject* watched, QEvent* event) {
  // Enter on a topic opens its answer rather than closing the window.
  if (watched == tree_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      ShowAnswers();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TFaxProblemSolverDialog::PrintClick() {
  QPrinter printer;
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() != QDialog::Accepted) return;
  if (pages_->currentIndex() != kAnswersPage) return;
  if (!PrintAnswer(printer)) ShowInformation(this, QStringLiteral("The answer could not be printed."));
}

bool TFaxProblemSolverDialog::PrintAnswer(QPrinter& printer) {
  printer.setDocName(currentTitle_);
  return answer_->Print(printer);
}

void TFaxProblemSolverDialog::CopyToClipboardClick() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  // The whole answer goes to the clipboard; the view's selection is left
  // as the user made it.
  auto* data = new QMimeData;
  const QByteArray rtf = QByteArray::fromStdString(answerRtf_);
  data->setData(QStringLiteral("text/rtf"), rtf);
  data->setData(QStringLiteral("application/rtf"), rtf);
  data->setText(AnswerText());
  QApplication::clipboard()->setMimeData(data);
  QApplication::restoreOverrideCursor();
}

void ShowProblemSolver(QWidget* parent, const Settings& settings, int preselectedId) {
  TFaxProblemSolverDialog dialog(settings, preselectedId, parent);
  CenterWindow(&dialog);
  dialog.exec();
}

void ShowProblemSolverForError(QWidget* parent, const Settings& settings, int errorCode, bool sending) {
  ShowProblemSolver(parent, settings, troubleshooter::TopicForError(errorCode, sending));
}

void OpenTroubleshooter(QWidget* parent, const Settings& settings, int errorCode, bool sending) {
  if (errorCode == 0) {
    ShowProblemSolver(parent, settings, troubleshooter::kNoTopic);
  } else {
    ShowProblemSolverForError(parent, settings, errorCode, sending);
  }
}

}  // namespace tlm
