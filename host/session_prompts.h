// What the window asks about sessions: whether to run on a copy of a
// session another window keeps, and what to do with a machine whose session
// could not be saved (or is not saved, being a copy) when it goes.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace pellux {

// A machine about to go unsaved: the window closes, or another image opens.
struct UnsavedQuestion {
  QString text;          // what is not saved, and why
  QString goText;        // the button that goes on without saving: "Quit Without Saving"
  bool canStay = false;  // a Cancel button: the machine runs on as it was
  // The "Save State..." button: the file dialog, then the save; true when
  // the state was saved.
  std::function<bool()> saveElsewhere;
};

enum class UnsavedAnswer { Go, Stay };

// The box: "Save State..." (the machine goes once its state is saved, else
// the box comes back), the go button, and Cancel when the question allows it.
UnsavedAnswer AskUnsavedBox(const UnsavedQuestion& question, QWidget* owner);

// The box asking whether to run on a copy of a session another window
// keeps: "Run on a Copy" answers true, "Cancel" false.
bool AskRunOnCopyBox(const QString& text, QWidget* owner);

}  // namespace pellux
