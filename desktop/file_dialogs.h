// The open and save dialogs with the core's filter lists.
#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

class QWidget;

enum class FileDialogKind { Open, Save, Folder };

// One Qt name filter: the entry's text with its patterns, space-separated, in the
// parentheses Qt reads them from.
QString QtNameFilter(const FileFilter& filter);
// The extension the save dialog appends to a typed name without one: that of the
// filter's first pattern, empty when it names no single extension. The open
// dialog appends none.
QString DefaultSuffix(const FileFilter& filter);

// Runs the dialog modally over owner, titled `title` (Qt's own title when
// empty), with the check box below the list when there is one. `name` holds the
// start name (a folder for the folder chooser) and receives the chosen one; false
// when cancelled.
bool RunFileDialog(QWidget* owner, FileDialogKind kind, std::string_view title,
                   const std::vector<FileFilter>& filters, std::string& name,
                   DialogCheckBox* checkBox = nullptr);
