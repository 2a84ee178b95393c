// Start-up errors as the user sees them: always a line on standard error,
// so that a script or a terminal learns what went wrong, and a message box
// with the texts of the error's string ids wherever a box can be seen.
#pragma once

#include <memory>
#include <string>

class QMessageBox;
class QWidget;

namespace pellux {

class ErrMsg;

// "pellux: Initialization Error: ROM image file could not be opened.", and
// the error's detail on the lines after.
std::string ErrorText(const ErrMsg& error);

// The box for the error, not shown yet.
std::unique_ptr<QMessageBox> MakeErrorBox(const ErrMsg& error, QWidget* owner);

// Whether a window on the current platform can be seen: not on Qt's
// offscreen or minimal platforms, where a box would wait for a click that
// never comes.
bool PlatformShowsWindows();

// Writes the error to standard error, then shows the box (where one can be
// seen) and returns when the user has closed it.
void ShowError(const ErrMsg& error, QWidget* owner);

}  // namespace pellux
