#include "host/debug_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>

#include "debugger/calculator_target.h"
#include "debugger/debug_session.h"
#include "debugger/debug_text.h"
#include "debugger/stepping.h"
#include "host/breakpoints_dialog.h"
#include "host/dialog_units.h"
#include "host/elided_label.h"
#include "host/listing_font.h"
#include "host/listing_view.h"
#include "host/memory_view.h"
#include "host/register_view.h"
#include "machine/calculator.h"

namespace pellux {

namespace {

// Room the listing keeps for its text columns, so that the disassembly
// column never starts out of sight.
constexpr int kListingColumns = 64;
// The memory view's columns: address, 16 bytes, 16 characters.
constexpr int kMemoryColumns = 74;
constexpr int kMemoryLines = 6;

QPushButton* AddButton(QDialog* dialog, QHBoxLayout* row, const QString& text, const char* name) {
  auto* button = new QPushButton(text, dialog);
  button->setObjectName(QString::fromLatin1(name));
  // No button stands in for Enter: see keyPressEvent.
  button->setAutoDefault(false);
  button->setMinimumSize(DialogUnits(*dialog, 50, 14));
  row->addWidget(button);
  return button;
}

// Where an error shows: in red, beside the box it is about.
constexpr auto kErrorStyle = "color: #b00000";

ElidedLabel* ErrorBeside(QWidget* parent, const char* name) {
  auto* label = new ElidedLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setStyleSheet(QString::fromLatin1(kErrorStyle));
  label->hide();  // until there is an error
  return label;
}

QLineEdit* AddressEdit(QWidget* parent, const char* name, const QString& hint) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setPlaceholderText(hint);
  edit->setClearButtonEnabled(true);
  return edit;
}

}  // namespace

DebugDialog::DebugDialog(QWidget* owner, Calculator& calc, bool breakOnKeypress, DebugSession* session)
    : QDialog(owner),
      calc_(calc),
      ownSession_(session ? nullptr : std::make_unique<DebugSession>()),
      session_(session ? *session : *ownSession_),
      previous_(session_.lastStop.value_or(calc.cpu)),
      listFont_(FixedListingFont()),
      stopReason_(new QLabel(this)),
      message_(new QLabel(this)),
      listingAddress_(AddressEdit(this, "listingAddress", QStringLiteral("Go to address or symbol"))),
      memoryAddress_(AddressEdit(this, "memoryAddress", QStringLiteral("Memory at address or symbol"))),
      listingError_(ErrorBeside(this, "listingError")),
      memoryError_(ErrorBeside(this, "memoryError")),
      follow_(new QComboBox(this)),
      listing_(new ListingView(this, calc, session_.symbols)),
      registers_(new RegisterView(this, calc.cpu, [this] { RefreshViews(); })),
      memory_(new MemoryView(this, calc, [this](const QString& text) { ShowMessage(text); })),
      breakOnKeypress_(new QCheckBox(QStringLiteral("Break on &keypress"), this)) {
  setWindowTitle(QStringLiteral("Debug"));
  stopReason_->setObjectName(QStringLiteral("stopReason"));
  stopReason_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  message_->setObjectName(QStringLiteral("message"));
  message_->setStyleSheet(QString::fromLatin1(kErrorStyle));
  message_->setWordWrap(true);
  // Two lines kept for it whatever it holds: a message that wraps then takes
  // no room from the registers, even at the dialog's smallest.
  message_->setMinimumHeight(2 * message_->fontMetrics().lineSpacing());
  breakOnKeypress_->setObjectName(QStringLiteral("breakOnKeypress"));
  breakOnKeypress_->setChecked(breakOnKeypress);
  follow_->setObjectName(QStringLiteral("follow"));
  follow_->addItem(QStringLiteral("Follow: none"));
  for (int i = 0; i < 8; ++i) follow_->addItem(QStringLiteral("Follow: A%1").arg(i));
  for (QListWidget* list : std::initializer_list<QListWidget*>{listing_, registers_, memory_}) list->setFont(listFont_);
  const QFontMetrics metrics(listFont_);
  listing_->setMinimumWidth(metrics.horizontalAdvance(QString(kListingColumns, QLatin1Char('0'))));
  memory_->setMinimumWidth(metrics.horizontalAdvance(QString(kMemoryColumns, QLatin1Char('0'))) +
                           2 * memory_->frameWidth());
  memory_->setFixedHeight(kMemoryLines * memory_->RowHeight() + 2 * memory_->frameWidth());

  auto* buttons = new QHBoxLayout;
  QPushButton* step = AddButton(this, buttons, QStringLiteral("&Step"), "step");
  QPushButton* stepOver = AddButton(this, buttons, QStringLiteral("Step &Over"), "stepOver");
  QPushButton* stepOut = AddButton(this, buttons, QStringLiteral("Step O&ut"), "stepOut");
  QPushButton* runToCursor = AddButton(this, buttons, QStringLiteral("Run to &Cursor"), "runToCursor");
  QPushButton* breakpoint = AddButton(this, buttons, QStringLiteral("&Breakpoint"), "breakpoint");
  QPushButton* go = AddButton(this, buttons, QStringLiteral("&Go"), "go");
  buttons->addStretch(1);
  commands_ = {step, stepOver, stepOut, runToCursor};
  go_ = go;

  auto* listingBar = new QHBoxLayout;
  listingBar->addWidget(listingAddress_, 1);
  listingBar->addWidget(listingError_, 2);  // the longer of the two
  auto* memoryBar = new QHBoxLayout;
  memoryBar->addWidget(memoryAddress_, 1);
  memoryBar->addWidget(memoryError_, 2);
  memoryBar->addWidget(follow_);

  // The stop line on top; the listing wide on the left with its go-to above
  // (and why it went nowhere beside it), the registers on the right; the memory below; then the message, the
  // check box and the buttons.
  const QSize margin = DialogUnits(*this, 4, 4);
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(margin.width(), margin.height(), margin.width(), margin.height());
  grid->setHorizontalSpacing(margin.width());
  grid->setVerticalSpacing(margin.height());
  buttons->setSpacing(margin.width());
  memoryBar->setSpacing(margin.width());
  listingBar->setSpacing(margin.width());
  grid->addWidget(stopReason_, 0, 0, 1, 2);
  grid->addLayout(listingBar, 1, 0);
  grid->addWidget(listing_, 2, 0);
  grid->addWidget(registers_, 1, 1, 2, 1);
  grid->addLayout(memoryBar, 3, 0, 1, 2);
  grid->addWidget(memory_, 4, 0, 1, 2);
  grid->addWidget(message_, 5, 0, 1, 2);
  grid->addWidget(breakOnKeypress_, 6, 0, 1, 2);
  grid->addLayout(buttons, 7, 0, 1, 2);
  grid->setColumnStretch(0, 1);
  grid->setRowStretch(2, 1);

  connect(step, &QPushButton::clicked, this, [this] { RunCommand(StepInto); });
  connect(stepOver, &QPushButton::clicked, this, [this] {
    RunCommand([](DebugTarget& target) { return StepOver(target); });
  });
  connect(stepOut, &QPushButton::clicked, this, [this] {
    RunCommand([](DebugTarget& target) { return StepOut(target); });
  });
  connect(runToCursor, &QPushButton::clicked, this, &DebugDialog::RunToCursor);
  connect(breakpoint, &QPushButton::clicked, this, &DebugDialog::OpenBreakpoints);
  connect(go, &QPushButton::clicked, this, &QDialog::reject);  // as Esc and the close box
  connect(listingAddress_, &QLineEdit::returnPressed, this, &DebugDialog::GoToListingAddress);
  connect(memoryAddress_, &QLineEdit::returnPressed, this, &DebugDialog::GoToMemoryAddress);
  connect(follow_, &QComboBox::activated, this, &DebugDialog::FollowRegister);

  if (ownSession_) ownSession_->reason = DebugStop{StopReason::UserBreak, calc_.cpu.pc};
  memory_->ShowFrom(calc_.cpu.a(7));
  RefreshViews();
  registers_->setFixedWidth(std::max(DialogUnits(*this, 120, 0).width(),
                                     registers_->sizeHintForColumn(0) + 2 * registers_->frameWidth() +
                                         registers_->verticalScrollBar()->sizeHint().width()));
  // Every register line shows, however tall the font's lines are.
  registers_->setMinimumHeight(registers_->count() * registers_->sizeHintForRow(0) +
                               2 * registers_->frameWidth());
  resize(DialogUnits(*this, 612, 360).expandedTo(minimumSizeHint()));
  // Where the names came from, or why there are none.
  if (!session_.symbolsNote.empty()) stopReason_->setToolTip(QString::fromStdString(session_.symbolsNote));
}

DebugDialog::~DebugDialog() { session_.lastStop = calc_.cpu; }

bool DebugDialog::BreakOnKeypress() const { return breakOnKeypress_->isChecked(); }

void DebugDialog::RefreshViews() {
  stopReason_->setText(QString::fromStdString(DescribeStop(session_.reason, session_.symbols)));
  listing_->ShowFrom(calc_.cpu.pc & 0xFFFFFE);
  registers_->Refill(previous_);
  memory_->Refill();
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

void DebugDialog::RunCommand(const std::function<DebugStop(DebugTarget&)>& command) {
  if (heldElsewhere_) return;
  const CpuState before = calc_.cpu;
  CalculatorTarget target(calc_);
  ShowStop(command(target), before);
}

void DebugDialog::ShowStop(const DebugStop& reason, const CpuState& before) {
  previous_ = before;
  session_.reason = reason;
  if (!heldElsewhere_) ShowMessage(QString());
  RefreshViews();
}

void DebugDialog::SetHeldElsewhere(bool held) {
  heldElsewhere_ = held;
  for (QPushButton* button : commands_) button->setEnabled(!held);
  const auto edits = held ? QAbstractItemView::NoEditTriggers
                          : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed;
  registers_->setEditTriggers(edits);
  memory_->setEditTriggers(edits);
  go_->setText(held ? QStringLiteral("&Close") : QStringLiteral("&Go"));
  go_->setToolTip(held ? QStringLiteral("gdb holds the machine: it stays stopped until gdb lets it run")
                       : QString());
  ShowMessage(held ? QStringLiteral("gdb holds the machine: the dialog shows it and follows gdb's steps; "
                                    "step and run from gdb, or detach it to debug here.")
                   : QString());
}

void DebugDialog::RunToCursor() {
  const std::optional<std::uint32_t> cursor = listing_->SelectedAddress();
  if (!cursor) {
    ShowMessage(QStringLiteral("Select a line of the listing first: Run to Cursor runs up to it."));
    return;
  }
  RunCommand([address = *cursor](DebugTarget& target) { return RunTo(target, address); });
}

void DebugDialog::OpenBreakpoints() {
  BreakpointsDialog dialog(this, calc_.breakpoints, listFont_, session_.symbols);
  dialog.exec();
  listing_->Refill();  // the markers show at once
}

std::optional<std::uint32_t> DebugDialog::EnteredAddress(const QLineEdit& edit, ElidedLabel& error) {
  const AddressEntry entry = ParseAddressEntry(edit.text().toStdString(), session_.symbols);
  error.SetWholeText(QString::fromStdString(entry.message()));
  error.setVisible(!entry.ok());
  if (!entry.ok()) return std::nullopt;
  return *entry;
}

void DebugDialog::GoToListingAddress() {
  if (const std::optional<std::uint32_t> address = EnteredAddress(*listingAddress_, *listingError_))
    listing_->ShowFrom(*address);
}

void DebugDialog::GoToMemoryAddress() {
  const std::optional<std::uint32_t> address = EnteredAddress(*memoryAddress_, *memoryError_);
  if (!address) return;
  follow_->setCurrentIndex(0);
  memory_->ShowFrom(*address);
}

void DebugDialog::FollowRegister(int choice) {
  memory_->Follow(choice > 0 ? std::optional<unsigned>(static_cast<unsigned>(choice - 1)) : std::nullopt);
}

void DebugDialog::ShowMessage(const QString& text) { message_->setText(text); }

}  // namespace pellux
