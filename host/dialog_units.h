// Dialog layouts are drawn in dialog units, which scale with the dialog's
// font: a unit across is a quarter of the average character width, a unit
// down an eighth of the character height.
#pragma once

#include <QFontMetrics>
#include <QSize>
#include <QWidget>

namespace pellux {

inline QSize DialogUnits(const QWidget& dialog, int across, int down) {
  const QFontMetrics metrics(dialog.font());
  return QSize(across * metrics.averageCharWidth() / 4, down * metrics.height() / 8);
}

}  // namespace pellux
