#include "host/listing_view.h"

#include <algorithm>
#include <span>

#include "debugger/listing.h"
#include "debugger/symbols.h"
#include "machine/calculator.h"
#include "machine/memory_bus.h"

namespace pellux {

namespace {

const QColor kPcBackground(0xFF, 0xE8, 0x80);

}  // namespace

ListingView::ListingView(QWidget* parent, Calculator& calc, const SymbolTable& symbols)
    : PagedListView(parent), calc_(calc), symbols_(symbols) {
  setObjectName(QStringLiteral("listing"));
  setUniformItemSizes(true);
  // The listing holds exactly the lines that fit and clips long ones; it
  // scrolls by its own start address, not by a scroll bar.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setToolTip(QStringLiteral("Wheel, Page Up/Down: scroll. Double-click: set or clear a breakpoint."));
  connect(this, &QListWidget::itemDoubleClicked, this, &ListingView::ToggleBreakpoint);
}

void ListingView::ShowFrom(std::uint32_t address) {
  start_ = address & ~1u;
  earlierStarts_.clear();
  Refill();
}

void ListingView::Refill() {
  const std::optional<std::uint32_t> selected = SelectedAddress();
  clear();
  const int room = LinesThatFit();
  const std::uint32_t pc = calc_.cpu.pc & ~1u;
  QFont bold = font();
  bold.setBold(true);
  std::uint32_t address = start_;
  ListInstructions(ImageFrom(calc_, start_), start_, static_cast<std::size_t>(room), calc_.breakpoints,
                   [&](const ListingLine& line) {
                     if (count() >= room) return;
                     // A symbol that starts here labels the line, except at the top where
                     // the line itself must come first to keep the view's start.
                     if (const Symbol* symbol = symbols_.At(address); symbol && count() + 1 < room) {
                       auto* label = new QListWidgetItem(QString::fromStdString(symbol->name + ":"), this);
                       label->setFlags(Qt::ItemIsEnabled);
                       label->setFont(bold);
                     }
                     QString text = QString::fromStdString(line.text);
                     const std::string target = OperandSymbol(line.operands, symbols_);
                     if (!target.empty()) text += QStringLiteral("  <%1>").arg(QString::fromStdString(target));
                     auto* item = new QListWidgetItem(text, this);
                     item->setData(kAddressRole, QVariant::fromValue(address));
                     if (address == pc) {
                       item->setBackground(kPcBackground);
                       item->setData(Qt::AccessibleDescriptionRole, QStringLiteral("pc"));
                     }
                     if (selected && *selected == address) setCurrentItem(item);
                     address += line.length;
                   });
}

std::optional<std::uint32_t> ListingView::SelectedAddress() const {
  const QListWidgetItem* item = currentItem();
  if (!item || !item->isSelected() || !item->data(kAddressRole).isValid()) return std::nullopt;
  return item->data(kAddressRole).toUInt();
}

void ListingView::ScrollLines(int lines) {
  for (; lines > 0; --lines) {
    const ListingLine line = FormatListingLine(ImageFrom(calc_, start_), 0, start_, calc_.breakpoints);
    if (line.length == 0) break;  // the end of the image
    earlierStarts_.push_back(start_);
    start_ += line.length;
  }
  for (; lines < 0; ++lines) {
    if (!earlierStarts_.empty()) {
      start_ = earlierStarts_.back();
      earlierStarts_.pop_back();
    } else {
      // Back as far as the same image goes before the start, up to the look-back.
      const std::size_t ahead = ImageFrom(calc_, start_).size();
      std::uint32_t back = kPreviousLookBack;
      while (back > 0 && ImageFrom(calc_, start_ - back).size() != ahead + back) back -= 2;
      start_ = PreviousInstruction(ImageFrom(calc_, start_ - back), start_ - back, start_);
    }
  }
  Refill();
}

void ListingView::ToggleBreakpoint(QListWidgetItem* item) {
  if (!item || !item->data(kAddressRole).isValid()) return;
  calc_.breakpoints.Toggle(item->data(kAddressRole).toUInt());
  Refill();
}

}  // namespace pellux
