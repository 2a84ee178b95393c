// Start-up errors as the user sees them: a message box with the texts of
// the error's string ids.
#pragma once

class QWidget;

namespace pellux {

class ErrMsg;

// Shows the box and returns when the user has closed it.
void ShowError(const ErrMsg& error, QWidget* owner);

}  // namespace pellux
