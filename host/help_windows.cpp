#include "host/help_windows.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QTextDocument>
#include <QVBoxLayout>

#include "host/dialog_units.h"
#include "host/host_key_names.h"
#include "host/host_keys.h"
#include "machine/keys.h"
#include "pellux_version.h"

namespace pellux {

namespace {

// The key's name in key scripts and on the demo ROM's keyboard screen, and its code.
QString CalculatorKeyLabel(unsigned code) {
  const char* name = KeyName(code);
  return QStringLiteral("%1 (code %2)").arg(QString::fromLatin1(name ? name : "?")).arg(code);
}

QDialogButtonBox* CloseButton(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
  return buttons;
}

}  // namespace

KeysWindow::KeysWindow(QWidget* parent) : QDialog(parent), table_(new QTableWidget(this)) {
  setWindowTitle(QStringLiteral("Pellux Keys"));
  table_->setColumnCount(2);
  table_->setHorizontalHeaderLabels({QStringLiteral("PC key"), QStringLiteral("Calculator key")});
  table_->setRowCount(static_cast<int>(kHostKeyTable.size()));
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  int row = 0;
  for (const HostKey& key : kHostKeyTable) {
    table_->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(VirtualKeyName(key.virtualKey))));
    table_->setItem(row, 1, new QTableWidgetItem(CalculatorKeyLabel(key.code)));
    ++row;
  }
  table_->resizeColumnsToContents();

  auto* note = new QLabel(
      QStringLiteral(
          "Keys go by their place on the keyboard, whatever Shift or Num Lock say.\n"
          "F11 opens the debugger, Pause pauses and resumes, Ctrl+Q quits; Alt combinations, F10 and "
          "leaving the window let go of every key."),
      this);
  note->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(note);
  layout->addWidget(table_);
  layout->addWidget(CloseButton(this));
  resize(DialogUnits(*this, 280, 297));
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
