#include "host/register_view.h"

#include "debugger/debug_text.h"
#include "host/line_edit_delegate.h"

namespace pellux {

namespace {

constexpr int kIdRole = Qt::UserRole;  // the RegisterId a line shows, when it shows one

}  // namespace

RegisterView::RegisterView(QWidget* parent, CpuState& cpu, std::function<void()> edited)
    : QListWidget(parent), cpu_(cpu), edited_(std::move(edited)) {
  setObjectName(QStringLiteral("registers"));
  setUniformItemSizes(true);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  setToolTip(QStringLiteral("Double-click a register to change it (hex)."));
  auto initial = [this](const QModelIndex& index) {
    const auto id = static_cast<RegisterId>(index.data(kIdRole).toUInt());
    return QStringLiteral("%1").arg(RegisterValue(cpu_, id), RegisterDigits(id), 16, QLatin1Char('0'));
  };
  auto commit = [this](const QModelIndex& index, const QString& text) {
    bool ok = false;
    const std::uint32_t value = text.toUInt(&ok, 16);
    if (!ok) return;  // an empty editor changes nothing
    SetRegister(cpu_, static_cast<RegisterId>(index.data(kIdRole).toUInt()), value);
    // The views are refilled once the editor has closed, not under it.
    QMetaObject::invokeMethod(this, [this] { if (edited_) edited_(); }, Qt::QueuedConnection);
  };
  // The editor takes hex digits only, 8 at most (SR: 4).
  setItemDelegate(new LineEditDelegate(this, QRegularExpression(QStringLiteral("[0-9a-fA-F]{1,8}")), initial, commit));
}

void RegisterView::Refill(const CpuState& previous) {
  const std::vector<RegisterRow> rows = RegisterRows(cpu_);
  const std::vector<RegisterRow> before = RegisterRows(previous);
  const int current = currentRow();
  clear();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    auto* item = new QListWidgetItem(QString::fromStdString(rows[i].text), this);
    if (rows[i].id) {
      item->setData(kIdRole, static_cast<unsigned>(*rows[i].id));
      item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    if (rows[i].text != before[i].text) {
      QFont bold = font();
      bold.setBold(true);
      item->setFont(bold);
      item->setForeground(QColor(0xC0, 0x00, 0x00));
      item->setData(Qt::AccessibleDescriptionRole, QStringLiteral("changed"));
    }
  }
  if (current >= 0 && current < count()) setCurrentRow(current);
}

bool RegisterView::IsMarked(int row) const {
  return row >= 0 && row < count() && item(row)->data(Qt::AccessibleDescriptionRole).toString() == "changed";
}

}  // namespace pellux
