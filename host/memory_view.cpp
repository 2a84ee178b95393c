#include "host/memory_view.h"

#include <array>

#include "debugger/calculator_target.h"
#include "debugger/debug_text.h"
#include "host/line_edit_delegate.h"
#include "machine/calculator.h"
#include "machine/memory_bus.h"

namespace pellux {

namespace {

constexpr std::uint32_t kAddressMask = 0xFFFFFF;
constexpr std::uint32_t kRamRegionEnd = 0x200000;  // RAM and its mirrors
// Where the bytes start in a memory line: "401230: ".
constexpr int kBytesColumn = 8;
// The bytes part of a memory line: 16 hex pairs, one blank between them and
// two after the eighth.
constexpr int kBytesLength = 16 * 2 + 15 + 1;

}  // namespace

MemoryView::MemoryView(QWidget* parent, Calculator& calc, std::function<void(const QString&)> message)
    : PagedListView(parent), calc_(calc), message_(std::move(message)) {
  setObjectName(QStringLiteral("memory"));
  setUniformItemSizes(true);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  setToolTip(QStringLiteral("Wheel, Page Up/Down: scroll. Double-click a line in RAM to change its bytes."));
  auto initial = [](const QModelIndex& index) {
    return index.data(Qt::DisplayRole).toString().mid(kBytesColumn, kBytesLength);
  };
  auto commit = [this](const QModelIndex& index, const QString& text) {
    WriteLine(index.data(kAddressRole).toUInt(), text);
  };
  setItemDelegate(
      new LineEditDelegate(this, QRegularExpression(QStringLiteral("[0-9a-fA-F ]{0,64}")), initial, commit));
}

void MemoryView::ShowFrom(std::uint32_t address) {
  follow_.reset();
  start_ = address & kAddressMask & ~(kMemoryLineBytes - 1);
  Refill();
}

void MemoryView::Follow(std::optional<unsigned> addressRegister) {
  follow_ = addressRegister;
  Refill();
}

void MemoryView::Refill() {
  if (follow_) start_ = calc_.cpu.a(*follow_) & kAddressMask & ~(kMemoryLineBytes - 1);
  const int row = currentRow();
  clear();
  const CalculatorTarget target(calc_);
  const int lines = LinesThatFit();
  for (int line = 0; line < lines; ++line) {
    const std::uint32_t address = (start_ + static_cast<std::uint32_t>(line) * kMemoryLineBytes) & kAddressMask;
    std::array<std::uint8_t, kMemoryLineBytes> bytes{};
    for (std::uint32_t i = 0; i < kMemoryLineBytes; ++i) bytes[i] = target.Peek(address + i);
    auto* item = new QListWidgetItem(QString::fromStdString(MemoryLine(address, bytes)), this);
    item->setData(kAddressRole, QVariant::fromValue(address));
    if (address < kRamRegionEnd) item->setFlags(item->flags() | Qt::ItemIsEditable);
  }
  if (row >= 0 && row < count()) setCurrentRow(row);
}

void MemoryView::ScrollLines(int lines) {
  follow_.reset();
  start_ = (start_ + static_cast<std::uint32_t>(lines) * kMemoryLineBytes) & kAddressMask;
  Refill();
}

void MemoryView::WriteLine(std::uint32_t address, const QString& text) {
  const QStringList pairs = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  bool ok = pairs.size() == static_cast<qsizetype>(kMemoryLineBytes);
  std::array<std::uint8_t, kMemoryLineBytes> bytes{};
  for (std::size_t i = 0; ok && i < kMemoryLineBytes; ++i) {
    const QString& pair = pairs[static_cast<qsizetype>(i)];
    bytes[i] = static_cast<std::uint8_t>(pair.toUInt(&ok, 16));
    ok = ok && pair.size() <= 2;
  }
  if (!ok) {
    message_(QStringLiteral("A memory line takes 16 bytes, each 1 or 2 hex digits; nothing was written."));
    return;
  }
  PokeBytes(calc_, address, bytes);
  message_(QString());
  // Refilled once the editor has closed, not under it.
  QMetaObject::invokeMethod(this, [this] { Refill(); }, Qt::QueuedConnection);
}

}  // namespace pellux
