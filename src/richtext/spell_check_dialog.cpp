#include "richtext/spell_check_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBlock>
#include <QVBoxLayout>

#include "richtext/rich_text_editor.h"
#include "richtext/spell_checker.h"

namespace tlm {

SpellCheckDialog::SpellCheckDialog(RichTextEditor* editor, SpellChecker& checker, QWidget* parent)
    : QDialog(parent), editor_(editor), checker_(checker) {
  setWindowTitle("Spell Check");
  auto* grid = new QGridLayout(this);
  status_ = new QLabel(this);
  grid->addWidget(status_, 0, 0, 1, 2);
  grid->addWidget(new QLabel("Change &to:", this), 1, 0);
  changeTo_ = new QLineEdit(this);
  grid->addWidget(changeTo_, 2, 0);
  grid->addWidget(new QLabel("&Suggestions:", this), 3, 0);
  suggestions_ = new QListWidget(this);
  grid->addWidget(suggestions_, 4, 0);
  auto* buttons = new QVBoxLayout;
  replaceButton_ = new QPushButton("&Replace", this);
  ignoreButton_ = new QPushButton("&Ignore", this);
  ignoreAllButton_ = new QPushButton("I&gnore All", this);
  addButton_ = new QPushButton("&Add", this);
  auto* close = new QPushButton("&Close", this);
  for (QPushButton* b : {replaceButton_, ignoreButton_, ignoreAllButton_, addButton_, close}) buttons->addWidget(b);
  buttons->addStretch();
  grid->addLayout(buttons, 1, 1, 4, 1);
  connect(replaceButton_, &QPushButton::clicked, this, &SpellCheckDialog::Replace);
  connect(ignoreButton_, &QPushButton::clicked, this, &SpellCheckDialog::Ignore);
  connect(ignoreAllButton_, &QPushButton::clicked, this, &SpellCheckDialog::IgnoreAll);
  connect(addButton_, &QPushButton::clicked, this, &SpellCheckDialog::Add);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  connect(suggestions_, &QListWidget::currentTextChanged, changeTo_, &QLineEdit::setText);
  connect(suggestions_, &QListWidget::itemDoubleClicked, this, &SpellCheckDialog::Replace);
  FindNext();
}

void SpellCheckDialog::FindNext() {
  static const QRegularExpression wordPattern(QStringLiteral("[\\p{L}][\\p{L}\\p{M}'\u2019]*"));
  QTextDocument* doc = editor_->Document();
  word_.clear();
  for (QTextBlock block = doc->findBlock(position_); block.isValid(); block = block.next()) {
    QString text = block.text();
    int from = std::max(0, position_ - block.position());
    for (auto it = wordPattern.globalMatch(text, from); it.hasNext();) {
      QRegularExpressionMatch m = it.next();
      QString word = m.captured();
      while (word.endsWith('\'') || word.endsWith(QChar(0x2019))) word.chop(1);
      int start = block.position() + static_cast<int>(m.capturedStart());
      if (checker_.Check(word.replace(QChar(0x2019), '\'').toStdString())) continue;
      word_ = m.captured().left(word.size());
      wordStart_ = start;
      position_ = start;
      QTextCursor c(doc);
      c.setPosition(start);
      c.setPosition(start + static_cast<int>(word_.size()), QTextCursor::KeepAnchor);
      editor_->SetTextCursor(c);
      status_->setText("Not in dictionary: " + word_);
      suggestions_->clear();
      for (const std::string& s : checker_.Suggest(word.toStdString())) suggestions_->addItem(QString::fromStdString(s));
      changeTo_->setText(suggestions_->count() > 0 ? suggestions_->item(0)->text() : word_);
      if (suggestions_->count() > 0) suggestions_->setCurrentRow(0);
      for (QPushButton* b : {replaceButton_, ignoreButton_, ignoreAllButton_, addButton_}) b->setEnabled(true);
      return;
    }
  }
  position_ = doc->characterCount();
  status_->setText("The spell check is complete.");
  suggestions_->clear();
  changeTo_->clear();
  for (QPushButton* b : {replaceButton_, ignoreButton_, ignoreAllButton_, addButton_}) b->setEnabled(false);
}

void SpellCheckDialog::Replace() {
  if (word_.isEmpty()) return;
  QTextCursor c(editor_->Document());
  c.setPosition(wordStart_);
  c.setPosition(wordStart_ + static_cast<int>(word_.size()), QTextCursor::KeepAnchor);
  QString replacement = changeTo_->text();
  c.insertText(replacement);
  position_ = wordStart_ + static_cast<int>(replacement.size());
  FindNext();
}

void SpellCheckDialog::Ignore() {
  if (word_.isEmpty()) return;
  position_ = wordStart_ + static_cast<int>(word_.size());
  FindNext();
}

void SpellCheckDialog::IgnoreAll() {
  if (word_.isEmpty()) return;
  checker_.IgnoreAll(word_.toStdString());
  Ignore();
}

void SpellCheckDialog::Add() {
  if (word_.isEmpty()) return;
  std::string error;
  if (!checker_.AddToUserDictionary(word_.toStdString(), &error)) {
    QMessageBox::information(this, "Information", QString::fromStdString(error));
    return;
  }
  Ignore();
}

void RunSpellCheck(RichTextEditor* editor, QWidget* parent, const std::function<void(QWidget*)>& place) {
  SpellChecker checker(DefaultDictionaryBase(), DefaultUserDictionaryPath());
  if (!checker.IsOpen()) {
    QMessageBox::information(parent, "Information", QString::fromStdString(checker.Error()));
    return;
  }
  SpellCheckDialog dialog(editor, checker, parent);
  if (place) place(&dialog);
  dialog.exec();
}

}  // namespace tlm
