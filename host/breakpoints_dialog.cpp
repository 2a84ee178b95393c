#include "host/breakpoints_dialog.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "debugger/debug_text.h"
#include "host/dialog_units.h"

namespace pellux {

namespace {

constexpr int kAddressDigits = 8;

}  // namespace

BreakpointsDialog::BreakpointsDialog(QWidget* owner, BreakpointSet& breakpoints, const QFont& listFont)
    : QDialog(owner), breakpoints_(breakpoints), address_(new QLineEdit(this)), list_(new QListWidget(this)) {
  setWindowTitle(QStringLiteral("Breakpoints"));
  address_->setObjectName(QStringLiteral("address"));
  address_->setMaxLength(kAddressDigits);
  list_->setObjectName(QStringLiteral("breakpoints"));
  list_->setFont(listFont);
  list_->setUniformItemSizes(true);
  // The scroll position counts whole rows: it is the top index.
  list_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  auto* addRemove = new QPushButton(QStringLiteral("&Add/Remove"), this);
  addRemove->setObjectName(QStringLiteral("addRemove"));
  addRemove->setDefault(true);  // Enter, from the edit above all
  auto* close = new QPushButton(QStringLiteral("&Close"), this);
  close->setObjectName(QStringLiteral("close"));

  const QSize margin = DialogUnits(*this, 4, 4);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(margin.width(), margin.height(), margin.width(), margin.height());
  layout->setSpacing(margin.height());
  layout->addWidget(address_);
  layout->addWidget(list_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(margin.width());
  buttons->addWidget(addRemove);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  resize(DialogUnits(*this, 112, 222).expandedTo(minimumSizeHint()));

  connect(addRemove, &QPushButton::clicked, this, &BreakpointsDialog::AddRemove);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(list_, &QListWidget::itemSelectionChanged, this, &BreakpointsDialog::ShowSelected);
  FillList();
}

void BreakpointsDialog::FillList() {
  list_->clear();
  ForEachBreakpoint(breakpoints_, [this](std::uint32_t address) {
    auto* item = new QListWidgetItem(QString::fromStdString(BreakpointLine(address)), list_);
    item->setData(Qt::UserRole, QVariant::fromValue(address));
  });
}

void BreakpointsDialog::ShowSelected() {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) return;  // the refill cleared it
  address_->setText(QString::fromStdString(BreakpointLine(selected.front()->data(Qt::UserRole).toUInt())));
}

void BreakpointsDialog::AddRemove() {
  // Any character outside ASCII stops the scan just as an ASCII non-digit does.
  const std::uint32_t address = ParseHexAddress(address_->text().toStdString());
  if (address == 0) return;
  ToggleBreakpoint(breakpoints_, address);
  const int top = list_->verticalScrollBar()->value();
  FillList();
  // Lay the new rows out now, so that the scroll range is theirs; a top row
  // past the new end stops at the last page.
  list_->doItemsLayout();
  list_->verticalScrollBar()->setValue(top);
}

}  // namespace pellux
