// Save Screenshot: the LCD as a PNG file, named after the moment it was
// taken and written so that a failure leaves nothing half-written behind.
#pragma once

#include <QDateTime>
#include <QString>
#include <filesystem>
#include <string>

#include "tools/lcd_image.h"

namespace pellux {

// "pellux-2026-12-10-141503.png".
QString DefaultScreenshotName(const QDateTime& when);

// Where the dialog starts: the folder used last, else the user's pictures
// folder, else the home folder.
QString ScreenshotFolder(const QString& lastFolder);

// The frame as a PNG, each LCD pixel a square of `scale` pixels, written
// atomically. Answers an empty string, or why it could not be written.
std::string SaveScreenshotPng(const std::filesystem::path& path, LcdFrameView frame, int scale);

}  // namespace pellux
