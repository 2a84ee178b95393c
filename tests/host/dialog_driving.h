// Driving the debugger's dialogs in tests: finding their widgets by name,
// reading their lists, and acting on modal dialogs as they come up.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>

// Readable failures for the lists' texts.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace pellux::test {

inline QStringList Lines(const QListWidget& list) {
  QStringList lines;
  for (int i = 0; i < list.count(); ++i) lines << list.item(i)->text();
  return lines;
}

// The text of one row, or a note that there is none.
inline QString Line(const QListWidget& list, int row) {
  return row < list.count() ? list.item(row)->text() : QStringLiteral("(no row %1)").arg(row);
}

template <class W>
W& Child(const QWidget& parent, const char* name) {
  W* child = parent.findChild<W*>(QString::fromLatin1(name));
  if (!child) {
    ADD_FAILURE() << "no widget " << name;
    std::abort();
  }
  return *child;
}

inline QListWidget& Listing(const QWidget& d) { return Child<QListWidget>(d, "listing"); }
inline QListWidget& Registers(const QWidget& d) { return Child<QListWidget>(d, "registers"); }
inline QListWidget& Memory(const QWidget& d) { return Child<QListWidget>(d, "memory"); }
inline QPushButton& Button(const QWidget& d, const char* name) { return Child<QPushButton>(d, name); }
inline QString StopLine(const QWidget& d) { return Child<QLabel>(d, "stopReason").text(); }
inline QString Message(const QWidget& d) { return Child<QLabel>(d, "message").text(); }

// The number of whole listing lines the box has room for.
inline int RoomForLines(const QListWidget& list) {
  return list.count() ? list.viewport()->height() / list.sizeHintForRow(0) : -1;
}

// Shows the dialog and lets it lay itself out.
inline void ShowAndSettle(QWidget& dialog) {
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QCoreApplication::processEvents();
}

// Acts on each modal dialog with the given title as it comes up, from a
// timer, while the code under test sits in the dialog's exec().
class ModalDriver {
 public:
  ModalDriver(QString title, std::function<void(QDialog&)> act)
      : title_(std::move(title)), act_(std::move(act)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!dialog || dialog->windowTitle() != title_ || dialog->property("driven").toBool()) return;
      dialog->setProperty("driven", true);
      ++openings;
      act_(*dialog);
    });
    timer_.start(5);
  }
  int openings = 0;

 private:
  QString title_;
  std::function<void(QDialog&)> act_;
  QTimer timer_;
};

}  // namespace pellux::test
