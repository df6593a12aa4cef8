// Qt key presses become the key and character messages of the original system:
// a key-down carrying the virtual-key code, then the characters it typed.
#pragma once

#include <QString>
#include <Qt>
#include <vector>

#include "platform/platform.h"

// The virtual-key code of a Qt key, or 0 when it has none we know.
int VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);

// The messages one key press sends, in order.
std::vector<Message> KeyPressMessages(int qtKey, Qt::KeyboardModifiers modifiers,
                                      const QString& text);
