// Save Screenshot: the LCD as a PNG file, named after the moment it was
// taken and written so that a failure leaves nothing half-written behind.
#pragma once

#include <QDateTime>
#include <QString>
#include <filesystem>

#include "base/result.h"
#include "tools/lcd_image.h"

namespace pellux {

class MainWindow;
class SettingsStore;

// "pellux-2026-12-10-141503.png".
QString DefaultScreenshotName(const QDateTime& when);

// Where the dialog starts: the folder used last, else the user's pictures
// folder, else the home folder.
QString ScreenshotFolder(const QString& lastFolder);

// The dialog of Save Screenshot and Get Screen: the PNG file chosen
// (".png" added to a name without a suffix), its folder remembered for the
// next time; empty when the user cancelled or the window is closing.
QString ChooseScreenshotFile(MainWindow& window, SettingsStore& settings);

// 1X, or the window's zoom while Screenshots at Window Size is checked.
int ScreenshotScale(const MainWindow& window);

// The frame as a PNG, each LCD pixel a square of `scale` pixels, written
// atomically, or why it could not be written.
Status SaveScreenshotPng(const std::filesystem::path& path, LcdFrameView frame, int scale);
// The picture the window shows: 8-bit grey when it holds grey, else as above.
Status SaveScreenshotPng(const std::filesystem::path& path, const LcdPicture& picture, int scale);

}  // namespace pellux
