// The core's small forms as Qt dialogs: a number box or a list per field.
#pragma once

#include <string_view>
#include <vector>

#include "platform/platform.h"

class QWidget;

// Runs the form modally over owner: one row per field, OK and Cancel. `fields`
// hold the start values and receive the chosen ones; false when cancelled.
bool RunFormDialog(QWidget* owner, std::string_view title, std::vector<FormField>& fields);
