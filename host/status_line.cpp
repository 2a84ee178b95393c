#include "host/status_line.h"

#include <QLabel>
#include <cmath>

namespace pellux {

namespace {
constexpr int kMessageMs = 5000;
}

QString StateName(MachineState state) {
  switch (state) {
    case MachineState::Running:
      return QStringLiteral("Running");
    case MachineState::Asleep:
      return QStringLiteral("Asleep");
    case MachineState::Paused:
      return QStringLiteral("Paused");
    case MachineState::InDebugger:
      return QStringLiteral("In debugger");
    case MachineState::StoppedByGdb:
      return QStringLiteral("Stopped by gdb");
  }
  return {};
}

StatusLine::StatusLine(QWidget* parent)
    : QStatusBar(parent),
      state_(new QLabel(this)),
      speed_(new QLabel(this)),
      rom_(new QLabel(this)),
      link_(new QLabel(this)) {
  setSizeGripEnabled(false);
  // Room for "100000 %" so that the line does not jump as the figure changes.
  speed_->setMinimumWidth(speed_->fontMetrics().horizontalAdvance(QStringLiteral("100000 %")));
  speed_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // The ROM's name gives way to a message while it shows; the state and the
  // speed stay.
  addWidget(rom_, 1);
  // QStatusBar hides the name for a message only when the name is on screen:
  // a message said before the window first shows would be drawn over it.
  // A message longer than the line is cut there: its tooltip has it whole.
  connect(this, &QStatusBar::messageChanged, rom_, [this](const QString& message) {
    rom_->setVisible(message.isEmpty());
    setToolTip(message);
  });
  addPermanentWidget(link_);
  link_->hide();
  addPermanentWidget(state_);
  addPermanentWidget(speed_);
  SetState(MachineState::Running);
  SetSpeed(std::nullopt);
}

void StatusLine::SetState(MachineState state, const QString& text) {
  state_->setText(text.isEmpty() ? StateName(state) : text);
}

void StatusLine::SetSpeed(std::optional<double> percent) {
  speed_->setText(percent ? QStringLiteral("%1 %").arg(std::lround(*percent)) : QStringLiteral("- %"));
}

void StatusLine::SetRomName(const QString& name) {
  rom_->setText(name);
  rom_->setToolTip(name);
}

void StatusLine::SetLinkText(const QString& text) {
  link_->setText(text);
  link_->setVisible(!text.isEmpty());
}

void StatusLine::ShowMessage(const QString& text) { showMessage(text, kMessageMs); }

void StatusLine::ShowLastingMessage(const QString& text) { showMessage(text); }

QString StatusLine::StateText() const { return state_->text(); }
QString StatusLine::SpeedText() const { return speed_->text(); }
QString StatusLine::RomText() const { return rom_->text(); }
QString StatusLine::LinkText() const { return link_->text(); }
bool StatusLine::RomNameShown() const { return !rom_->isHidden(); }

}  // namespace pellux
