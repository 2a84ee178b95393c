#include "host/session_prompts.h"

#include <QMessageBox>
#include <QPushButton>

namespace pellux {

UnsavedAnswer AskUnsavedBox(const UnsavedQuestion& question, QWidget* owner) {
  for (;;) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Pellux"), question.text, QMessageBox::NoButton,
                    owner);
    box.setInformativeText(
        QStringLiteral("Save the calculator's state to a file of your choice to keep what it holds."));
    QPushButton* save = box.addButton(QStringLiteral("Save State..."), QMessageBox::AcceptRole);
    QPushButton* go = box.addButton(question.goText, QMessageBox::DestructiveRole);
    QPushButton* stay = question.canStay ? box.addButton(QMessageBox::Cancel) : nullptr;
    box.setDefaultButton(save);
    box.setEscapeButton(stay ? static_cast<QAbstractButton*>(stay) : go);
    box.exec();
    if (box.clickedButton() == save) {
      if (question.saveElsewhere && question.saveElsewhere()) return UnsavedAnswer::Go;
      continue;  // not saved after all: the choice is the user's again
    }
    // Cancel, or the box ended from outside (the window closing): nothing
    // is given up that the user did not choose to give up.
    if (box.clickedButton() == go || !stay) return UnsavedAnswer::Go;
    return UnsavedAnswer::Stay;
  }
}

bool AskRunOnCopyBox(const QString& text, QWidget* owner) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Pellux"), text, QMessageBox::NoButton, owner);
  QPushButton* copy = box.addButton(QStringLiteral("Run on a Copy"), QMessageBox::AcceptRole);
  box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(copy);
  box.exec();
  return box.clickedButton() == copy;
}

}  // namespace pellux
