#include "compose/table_browser.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "app/help_window.h"
#include "app/table_access.h"

namespace tlm {

TableBrowser::TableBrowser(TableAccess& table, std::vector<LogColumn> columns, Mode mode, const char* gridName,
                           QWidget* parent)
    : QDialog(parent),
      table_(table),
      mode_(mode),
      model_(new LogTableModel(std::move(columns), this)),
      grid_(new QTableView(this)),
      buttons_(new QHBoxLayout) {
  grid_->setObjectName(QString::fromLatin1(gridName));
  grid_->setModel(model_);
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->horizontalHeader()->setStretchLastSection(true);
  const int charWidth = grid_->fontMetrics().averageCharWidth();
  for (int c = 0; c < static_cast<int>(model_->Columns().size()); ++c) {
    const int chars = model_->Columns()[static_cast<std::size_t>(c)].widthChars;
    if (chars > 0) grid_->setColumnWidth(c, chars * charWidth);
  }
  connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid()) model_->SetCurrentRow(current.row());
          });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(grid_, 1);
  layout->addLayout(buttons_);
  model_->SetTable(&table_);
  resize(560, 400);
}

QPushButton* TableBrowser::AddButton(const char* name, const QString& caption, const QString& hint) {
  auto* button = new QPushButton(caption, this);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  if (!hint.isEmpty()) button->setToolTip(hint);
  buttons_->addWidget(button);
  return button;
}

void TableBrowser::AddClosingButtons(const QString& acceptHint, const QString& cancelHint, int helpTopic) {
  buttons_->addStretch();
  accept_ = AddButton("AcceptButton", QStringLiteral("&Accept"), acceptHint);
  QPushButton* cancel = AddButton("CancelButton", QStringLiteral("Cance&l"), cancelHint);
  QPushButton* close = AddButton("CloseButton", QStringLiteral("C&lose"), {});
  QPushButton* help = AddButton("HelpButton", QStringLiteral("&Help"), {});
  const bool choosing = mode_ == Mode::kChoosing;
  accept_->setVisible(choosing);
  cancel->setVisible(choosing);
  close->setVisible(!choosing);
  (choosing ? accept_ : close)->setDefault(true);
  connect(accept_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [this, helpTopic] { ShowHelpTopic(this, helpTopic); });
  recordButtons_.push_back(accept_);
}

// After the last visible record is deleted the table may still stand on it.
bool TableBrowser::HasCurrent() const { return table_.HasCurrentRecord() && !table_.Deleted(); }

void TableBrowser::RefreshList() {
  model_->Refresh();
  const int row = model_->CurrentRow();
  if (row >= 0) {
    grid_->setCurrentIndex(model_->index(row, 0));
    grid_->scrollTo(model_->index(row, 0));
  }
  UpdateButtons();
}

void TableBrowser::UpdateButtons() {
  const bool current = HasCurrent();
  for (QPushButton* button : recordButtons_) button->setEnabled(current);
}

void TableBrowser::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  RefreshList();
  grid_->setFocus();
}

}  // namespace tlm
