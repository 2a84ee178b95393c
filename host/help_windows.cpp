#include "host/help_windows.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QTextDocument>
#include <QVBoxLayout>

#include "host/dialog_units.h"
#include "host/keypad_view.h"
#include "pellux_version.h"

namespace pellux {

namespace {

QDialogButtonBox* CloseButton(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
  return buttons;
}

}  // namespace

KeysWindow::KeysWindow(QWidget* parent)
    : QDialog(parent), keypad_(new KeypadView(this, KeypadView::Labels::PcKeys)) {
  setWindowTitle(QStringLiteral("Pellux Keys"));
  keypad_->SetZoom(3);
  auto* note = new QLabel(
      QStringLiteral(
          "Each calculator key shows the PC keys that press it; its own label is above it.\n"
          "Keys go by their place on the keyboard, whatever Shift or Num Lock say.\n"
          "F11 opens the debugger, Pause pauses and resumes, Ctrl+Q quits; Alt combinations, F10 and "
          "leaving the window let go of every key."),
      this);
  note->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(note);
  layout->addWidget(keypad_, 0, Qt::AlignCenter);
  layout->addWidget(CloseButton(this));
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Pellux"));
  html_ = QStringLiteral(
              "<h3>Pellux %1</h3>"
              "<p>An emulator of the TI-92 Plus graphing calculator: a 68000 processor, "
              "the calculator's memory, flash, timers, keyboard and LCD, and a debugger.</p>"
              "<p>Copyright (c) 2026 The Pellux developers.<br>"
              "Free software under the MIT License: use, copy, modify and share it freely; "
              "it comes with no warranty. The full text is in the file LICENSE.</p>")
              .arg(QString::fromUtf8(PelluxVersion().data(), static_cast<qsizetype>(PelluxVersion().size())));
  auto* label = new QLabel(html_, this);
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(CloseButton(this));
  setFixedWidth(DialogUnits(*this, 280, 0).width());
}

QString AboutWindow::Text() const {
  QTextDocument document;
  document.setHtml(html_);
  return document.toPlainText();
}

}  // namespace pellux
