#include "host/breakpoints_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "debugger/debug_text.h"
#include "debugger/symbols.h"
#include "host/dialog_units.h"

namespace pellux {

namespace {

// Room for a symbol's name with an offset.
constexpr int kEntryLength = 80;

}  // namespace

BreakpointsDialog::BreakpointsDialog(QWidget* owner, BreakpointSet& breakpoints, const QFont& listFont,
                                     const SymbolTable& symbols)
    : QDialog(owner),
      breakpoints_(breakpoints),
      symbols_(symbols),
      address_(new QLineEdit(this)),
      list_(new QListWidget(this)),
      message_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("Breakpoints"));
  address_->setObjectName(QStringLiteral("address"));
  address_->setMaxLength(kEntryLength);
  address_->setPlaceholderText(QStringLiteral("Hex address or symbol"));
  list_->setObjectName(QStringLiteral("breakpoints"));
  list_->setFont(listFont);
  list_->setUniformItemSizes(true);
  // The scroll position counts whole rows: it is the top index.
  list_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  message_->setObjectName(QStringLiteral("message"));
  message_->setStyleSheet(QStringLiteral("color: #b00000"));
  message_->setWordWrap(true);
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
  layout->addWidget(message_);
  layout->addWidget(list_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(margin.width());
  buttons->addWidget(addRemove);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  resize(DialogUnits(*this, 160, 222).expandedTo(minimumSizeHint()));

  connect(addRemove, &QPushButton::clicked, this, &BreakpointsDialog::AddRemove);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(list_, &QListWidget::itemSelectionChanged, this, &BreakpointsDialog::ShowSelected);
  FillList();
}

void BreakpointsDialog::FillList() {
  list_->clear();
  ForEachBreakpoint(breakpoints_, [this](std::uint32_t address) {
    std::string line = BreakpointLine(address);
    const std::string symbol = symbols_.Describe(address & 0xFFFFFF);
    if (!symbol.empty()) line.append("  ").append(symbol);
    auto* item = new QListWidgetItem(QString::fromStdString(line), list_);
    item->setData(Qt::UserRole, QVariant::fromValue(address));
  });
}

void BreakpointsDialog::ShowSelected() {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) return;  // the refill cleared it
  address_->setText(QString::fromStdString(BreakpointLine(selected.front()->data(Qt::UserRole).toUInt())));
}

void BreakpointsDialog::AddRemove() {
  const AddressEntry entry = ParseAddressEntry(address_->text().toStdString(), symbols_);
  if (!entry.ok()) {
    message_->setText(QString::fromStdString(entry.message()));
    return;
  }
  const bool added = ToggleBreakpoint(breakpoints_, *entry);
  // Added: the box is free for the next; removed: the address stays, so a
  // second Add/Remove puts it back.
  message_->setText(added ? QString::fromStdString(BreakpointWarning(*entry)) : QString());
  if (added) address_->clear();
  const int top = list_->verticalScrollBar()->value();
  FillList();
  // Lay the new rows out now, so that the scroll range is theirs; a top row
  // past the new end stops at the last page.
  list_->doItemsLayout();
  list_->verticalScrollBar()->setValue(top);
}

}  // namespace pellux
