#include "host/debug_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>
#include <span>

#include "cpu/core.h"
#include "cpu/exceptions.h"
#include "debugger/debug_text.h"
#include "debugger/listing.h"
#include "host/breakpoints_dialog.h"
#include "host/dialog_units.h"
#include "host/qt_resources.h"
#include "machine/calculator.h"
#include "machine/memory_bus.h"

namespace pellux {

namespace {

// Room the listing keeps for its text columns, so that the disassembly
// column never starts out of sight.
constexpr int kListingColumns = 64;

QPushButton* AddButton(QDialog* dialog, QHBoxLayout* row, const QString& text, const char* name) {
  auto* button = new QPushButton(text, dialog);
  button->setObjectName(QString::fromLatin1(name));
  // No button stands in for Enter: see keyPressEvent.
  button->setAutoDefault(false);
  button->setMinimumSize(DialogUnits(*dialog, 50, 14));
  row->addWidget(button);
  return button;
}

}  // namespace

DebugDialog::DebugDialog(QWidget* owner, Calculator& calc, bool breakOnKeypress)
    : QDialog(owner),
      calc_(calc),
      listFont_(FixedListingFont()),
      listing_(new QListWidget(this)),
      registers_(new QListWidget(this)),
      breakOnKeypress_(new QCheckBox(QStringLiteral("Break on &keypress"), this)) {
  setWindowTitle(QStringLiteral("Debug"));
  listing_->setObjectName(QStringLiteral("listing"));
  registers_->setObjectName(QStringLiteral("registers"));
  breakOnKeypress_->setObjectName(QStringLiteral("breakOnKeypress"));
  breakOnKeypress_->setChecked(breakOnKeypress);
  for (QListWidget* list : {listing_, registers_}) {
    list->setFont(listFont_);
    list->setUniformItemSizes(true);
  }
  // The listing holds exactly the lines that fit and clips long ones.
  listing_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  listing_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  listing_->setMinimumWidth(
      QFontMetrics(listFont_).horizontalAdvance(QString(kListingColumns, QLatin1Char('0'))));
  listing_->addItem(QStringLiteral("0"));
  itemHeight_ = std::max(1, listing_->sizeHintForRow(0));
  listing_->clear();
  // Its line count follows its height.
  listing_->viewport()->installEventFilter(this);

  auto* buttons = new QHBoxLayout;
  QPushButton* step = AddButton(this, buttons, QStringLiteral("&Step"), "step");
  QPushButton* breakpoint = AddButton(this, buttons, QStringLiteral("&Breakpoint"), "breakpoint");
  QPushButton* go = AddButton(this, buttons, QStringLiteral("&Go"), "go");
  buttons->addStretch(1);

  // The listing wide on the left, the registers on the right, the check box
  // and the buttons below.
  const QSize margin = DialogUnits(*this, 4, 4);
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(margin.width(), margin.height(), margin.width(), margin.height());
  grid->setHorizontalSpacing(margin.width());
  grid->setVerticalSpacing(margin.height());
  buttons->setSpacing(margin.width());
  grid->addWidget(listing_, 0, 0);
  grid->addWidget(registers_, 0, 1);
  grid->addWidget(breakOnKeypress_, 1, 0, 1, 2);
  grid->addLayout(buttons, 2, 0, 1, 2);
  grid->setColumnStretch(0, 1);
  grid->setRowStretch(0, 1);

  connect(step, &QPushButton::clicked, this, &DebugDialog::Step);
  connect(breakpoint, &QPushButton::clicked, this, &DebugDialog::OpenBreakpoints);
  connect(go, &QPushButton::clicked, this, &QDialog::reject);  // as Esc and the close box

  RefreshViews();
  registers_->setFixedWidth(std::max(DialogUnits(*this, 120, 0).width(),
                                     registers_->sizeHintForColumn(0) + 2 * registers_->frameWidth() +
                                         registers_->verticalScrollBar()->sizeHint().width()));
  resize(DialogUnits(*this, 612, 278).expandedTo(minimumSizeHint()));
}

bool DebugDialog::BreakOnKeypress() const { return breakOnKeypress_->isChecked(); }

void DebugDialog::RefreshViews() {
  FillListing();
  FillRegisters();
}

void DebugDialog::FillListing() {
  const std::size_t lines =
      static_cast<std::size_t>(std::max(0, listing_->viewport()->height() / itemHeight_));
  listing_->clear();
  const std::uint32_t start = calc_.cpu.pc & 0xFFFFFE;
  ListInstructions(ImageFrom(calc_, start), start, lines, calc_.breakpoints,
                   [this](const ListingLine& line) { listing_->addItem(QString::fromStdString(line.text)); });
}

void DebugDialog::FillRegisters() {
  registers_->clear();
  for (const std::string& line : RegisterLines(calc_.cpu)) registers_->addItem(QString::fromStdString(line));
}

bool DebugDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == listing_->viewport() && event->type() == QEvent::Resize) FillListing();
  return QDialog::eventFilter(watched, event);
}

void DebugDialog::keyPressEvent(QKeyEvent* event) {
  // Enter presses the button that has the focus and nothing else: no button
  // is the default, so Enter in the listing neither steps nor resumes.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (auto* button = qobject_cast<QPushButton*>(focusWidget())) button->click();
    return;
  }
  QDialog::keyPressEvent(event);
}

void DebugDialog::Step() {
  // One instruction, breakpoints not consulted; a protected write is
  // answered as a run slice answers it.
  const RunResult result = RunInstructions(calc_, 1, nullptr);
  if (result == RunResult::ProtectViolation) RequestInterrupt(calc_, level::kProtect);
  RefreshViews();
}

void DebugDialog::OpenBreakpoints() {
  // The views keep their markers until the next Step or opening.
  BreakpointsDialog dialog(this, calc_.breakpoints, listFont_);
  dialog.exec();
}

}  // namespace pellux
