#include "desktop/form_dialog.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <algorithm>

namespace {

QString FromBytes(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

bool RunFormDialog(QWidget* owner, std::string_view title, std::vector<FormField>& fields) {
  QDialog dialog(owner);
  dialog.setWindowTitle(FromBytes(title));
  dialog.setModal(true);
  auto* layout = new QFormLayout(&dialog);
  std::vector<QWidget*> editors;
  for (const FormField& field : fields) {
    QWidget* editor = nullptr;
    if (!field.choices.empty()) {
      auto* list = new QComboBox(&dialog);
      for (const std::string& choice : field.choices) list->addItem(FromBytes(choice));
      list->setCurrentIndex(std::clamp(field.value, 0, static_cast<int>(field.choices.size()) - 1));
      editor = list;
    } else {
      auto* number = new QSpinBox(&dialog);
      number->setRange(field.minimum, field.maximum);
      number->setValue(field.value);
      editor = number;
    }
    auto* label = new QLabel(FromBytes(field.label), &dialog);
    label->setBuddy(editor);
    layout->addRow(label, editor);
    editors.push_back(editor);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel,
                                       Qt::Horizontal, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addRow(buttons);
  if (!editors.empty()) editors.front()->setFocus();

  if (dialog.exec() != QDialog::Accepted) return false;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (auto* list = qobject_cast<QComboBox*>(editors[i])) {
      fields[i].value = list->currentIndex();
    } else if (auto* number = qobject_cast<QSpinBox*>(editors[i])) {
      // A value typed but not yet taken by the box counts as the user sees it.
      number->interpretText();
      fields[i].value = number->value();
    }
  }
  return true;
}
