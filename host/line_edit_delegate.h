// In-place editing of a list line through a line edit that takes only what
// a validator lets through: the list says what the editor starts with and
// what to do with the text once the user presses Enter. The line itself is
// not written: the owner refills the list from the machine.
#pragma once

#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>
#include <functional>

namespace pellux {

class LineEditDelegate : public QStyledItemDelegate {
 public:
  using Initial = std::function<QString(const QModelIndex&)>;
  using Commit = std::function<void(const QModelIndex&, const QString&)>;

  LineEditDelegate(QObject* parent, const QRegularExpression& accepted, Initial initial, Commit commit)
      : QStyledItemDelegate(parent), accepted_(accepted), initial_(std::move(initial)), commit_(std::move(commit)) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
    auto* editor = new QLineEdit(parent);
    editor->setObjectName(QStringLiteral("lineEditor"));
    editor->setValidator(new QRegularExpressionValidator(accepted_, editor));
    return editor;
  }
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    static_cast<QLineEdit*>(editor)->setText(initial_(index));
  }
  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    commit_(index, static_cast<QLineEdit*>(editor)->text());
  }

 private:
  QRegularExpression accepted_;
  Initial initial_;
  Commit commit_;
};

}  // namespace pellux
