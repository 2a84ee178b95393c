#include "host/listing_view.h"

#include <QKeyEvent>
#include <QWheelEvent>
#include <algorithm>
#include <span>

#include "debugger/listing.h"
#include "debugger/symbols.h"
#include "machine/calculator.h"
#include "machine/memory_bus.h"

namespace pellux {

namespace {

constexpr int kWheelLines = 3;  // per notch, as text views scroll
const QColor kPcBackground(0xFF, 0xE8, 0x80);

}  // namespace

ListingView::ListingView(QWidget* parent, Calculator& calc, const SymbolTable& symbols)
    : QListWidget(parent), calc_(calc), symbols_(symbols) {
  setObjectName(QStringLiteral("listing"));
  setUniformItemSizes(true);
  // The listing holds exactly the lines that fit and clips long ones; it
  // scrolls by its own start address, not by a scroll bar.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setToolTip(QStringLiteral("Wheel, Page Up/Down: scroll. Double-click: set or clear a breakpoint."));
  connect(this, &QListWidget::itemDoubleClicked, this, &ListingView::ToggleBreakpoint);
}

int ListingView::LinesThatFit() const {
  const int height = std::max(1, itemHeight_);
  return std::max(0, viewport()->height() / height);
}

void ListingView::ShowFrom(std::uint32_t address) {
  start_ = address & ~1u;
  earlierStarts_.clear();
  Refill();
}

void ListingView::Refill() {
  if (itemHeight_ <= 1) {
    addItem(QStringLiteral("0"));
    itemHeight_ = std::max(1, sizeHintForRow(0));
  }
  const std::optional<std::uint32_t> selected = SelectedAddress();
  clear();
  const int room = LinesThatFit();
  const std::uint32_t pc = calc_.cpu.pc & ~1u;
  QFont bold = font();
  bold.setBold(true);
  std::uint32_t address = start_;
  next_ = start_;
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
                     next_ = address;
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

void ListingView::keyPressEvent(QKeyEvent* event) {
  const int page = std::max(1, LinesThatFit() - 1);
  const int row = currentRow();
  switch (event->key()) {
    case Qt::Key_PageDown:
      ScrollLines(page);
      return;
    case Qt::Key_PageUp:
      ScrollLines(-page);
      return;
    case Qt::Key_Down:
      if (row < 0 || row + 1 >= count()) {
        ScrollLines(1);
        if (count() > 0) setCurrentRow(count() - 1);
        return;
      }
      break;
    case Qt::Key_Up:
      if (row <= 0) {
        ScrollLines(-1);
        if (count() > 0) setCurrentRow(0);
        return;
      }
      break;
    default:
      break;
  }
  QListWidget::keyPressEvent(event);
}

void ListingView::wheelEvent(QWheelEvent* event) {
  const int notches = event->angleDelta().y() / 120;
  if (notches != 0) ScrollLines(-notches * kWheelLines);
  event->accept();
}

void ListingView::resizeEvent(QResizeEvent* event) {
  QListWidget::resizeEvent(event);
  Refill();
}

void ListingView::ToggleBreakpoint(QListWidgetItem* item) {
  if (!item || !item->data(kAddressRole).isValid()) return;
  calc_.breakpoints.Toggle(item->data(kAddressRole).toUInt());
  Refill();
}

}  // namespace pellux
