#include "desktop/file_dialogs.h"

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QStringList>

namespace {

QStringList PatternsOf(const FileFilter& filter) {
  QStringList patterns;
  for (const QString& p : QString::fromStdString(filter.pattern).split(';', Qt::SkipEmptyParts)) {
    const QString pattern = p.trimmed();
    if (pattern.isEmpty()) continue;
    // "*.*" meant every file on the original system; in Qt it would skip names
    // without a dot.
    patterns << (pattern == "*.*" ? QStringLiteral("*") : pattern);
  }
  return patterns;
}

}  // namespace

QString QtNameFilter(const FileFilter& filter) {
  QString text = QString::fromStdString(filter.text).trimmed();
  // Qt takes the patterns from the last parentheses, so the entry's own (which may
  // list them with commas) give way to the real ones.
  if (text.endsWith(')')) {
    const qsizetype open = text.lastIndexOf('(');
    if (open >= 0) text = text.left(open).trimmed();
  }
  return text + " (" + PatternsOf(filter).join(' ') + ")";
}

QString DefaultSuffix(const FileFilter& filter) {
  const QStringList patterns = PatternsOf(filter);
  if (patterns.isEmpty()) return {};
  const QString& first = patterns.front();
  if (!first.startsWith("*.")) return {};
  const QString suffix = first.mid(2);
  if (suffix.isEmpty() || suffix.contains('*') || suffix.contains('?') || suffix.contains('[')) {
    return {};
  }
  return suffix;
}

bool RunFileDialog(QWidget* owner, FileDialogKind kind, std::string_view title,
                   const std::vector<FileFilter>& filters, std::string& name,
                   DialogCheckBox* checkBox) {
  QFileDialog dialog(owner);
  // Qt's own dialog, so the default suffix follows the selected filter before the
  // overwrite question is asked (desktop dialogs do not all report the filter),
  // and a check box can stand below the list.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  if (!title.empty()) dialog.setWindowTitle(QString::fromUtf8(title.data(), title.size()));
  if (kind == FileDialogKind::Save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
  } else if (kind == FileDialogKind::Folder) {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  }
  QStringList nameFilters;
  for (const FileFilter& f : filters) nameFilters << QtNameFilter(f);
  if (!nameFilters.isEmpty()) {
    dialog.setNameFilters(nameFilters);
    dialog.selectNameFilter(nameFilters.front());
  }
  // A typed name is taken as it is when opening: files are told by their
  // content, so "take" must open "take", never "take.mp3".
  if (kind == FileDialogKind::Save) {
    auto followFilter = [&dialog, &filters, &nameFilters](const QString& selected) {
      const qsizetype i = nameFilters.indexOf(selected);
      dialog.setDefaultSuffix(i >= 0 ? DefaultSuffix(filters[static_cast<size_t>(i)]) : QString());
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, followFilter);
    if (!nameFilters.isEmpty()) followFilter(nameFilters.front());
  }
  QCheckBox* box = nullptr;
  if (checkBox != nullptr) {
    box = new QCheckBox(QString::fromStdString(checkBox->text), &dialog);
    box->setChecked(checkBox->checked);
    // Qt's dialog lays itself out on a grid: the box goes on a row of its own
    // below everything else.
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
      grid->addWidget(box, grid->rowCount(), 0, 1, grid->columnCount());
    }
  }
  if (kind == FileDialogKind::Folder) {
    if (!name.empty()) dialog.setDirectory(QFile::decodeName(name.c_str()));
  } else if (!name.empty()) {
    dialog.selectFile(QFile::decodeName(name.c_str()));
  }
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return false;
  name = QFile::encodeName(chosen.front()).toStdString();
  if (box != nullptr) checkBox->checked = box->isChecked();
  return true;
}
