#include "host/status_line.h"

#include <QPainter>
#include <QStyleOption>
#include <cmath>

namespace pellux {

namespace {
constexpr int kMessageMs = 5000;
// The room kept free before each field on the right, in average characters.
constexpr int kFieldGap = 2;
}  // namespace

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
      text_(new ElidedLabel(this)),
      state_(new QLabel(this)),
      speed_(new QLabel(this)),
      link_(new QLabel(this)) {
  setSizeGripEnabled(false);
  // Room for "100000 %" so that the line does not jump as the figure changes.
  speed_->setMinimumWidth(speed_->fontMetrics().horizontalAdvance(QStringLiteral("100000 %")));
  speed_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  const int gap = kFieldGap * fontMetrics().averageCharWidth();
  for (QLabel* field : {state_, link_}) field->setContentsMargins(gap, 0, 0, 0);
  // Every field is permanent: the bar's own message would be drawn over
  // them. The messages take the room the others leave, cut to fit.
  addPermanentWidget(text_, 1);
  addPermanentWidget(link_);
  link_->hide();
  addPermanentWidget(state_);
  addPermanentWidget(speed_);
  connect(this, &QStatusBar::messageChanged, this, [this] { ShowText(); });
  SetState(MachineState::Running);
  SetSpeed(std::nullopt);
}

void StatusLine::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOption option;
  option.initFrom(this);
  style()->drawPrimitive(QStyle::PE_PanelStatusBar, &option, &painter, this);
}

void StatusLine::SetState(MachineState state, const QString& text) {
  state_->setText(text.isEmpty() ? StateName(state) : text);
}

void StatusLine::SetSpeed(std::optional<double> percent) {
  speed_->setText(percent ? QStringLiteral("%1 %").arg(std::lround(*percent)) : QStringLiteral("- %"));
}

void StatusLine::SetRomName(const QString& name) {
  romName_ = name;
  ShowText();
}

void StatusLine::SetLinkText(const QString& text) {
  link_->setText(text);
  link_->setVisible(!text.isEmpty());
}

void StatusLine::ShowMessage(const QString& text) { showMessage(text, kMessageMs); }

void StatusLine::ShowLastingMessage(const QString& text) { showMessage(text); }

void StatusLine::ShowText() {
  const QString message = currentMessage();
  text_->SetWholeText(message.isEmpty() ? romName_ : message);
}

QString StatusLine::StateText() const { return state_->text(); }
QString StatusLine::SpeedText() const { return speed_->text(); }
QString StatusLine::RomText() const { return romName_; }
QString StatusLine::LinkText() const { return link_->text(); }
bool StatusLine::RomNameShown() const { return currentMessage().isEmpty() && !romName_.isEmpty(); }

}  // namespace pellux
