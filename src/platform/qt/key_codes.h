// Which key presses are character keys: exactly those for which Windows
// would send a character message, with the code it would carry.
#pragma once

#include <QtCore/QStringView>
#include <QtCore/Qt>
#include <optional>

namespace quorvex {

// The character code of a key press, or nothing for a key without one
// (modifiers alone, arrows, Delete, Insert, Home/End, page keys, function keys,
// Alt combinations). `text` is what the platform says the key typed.
std::optional<int> characterCode(int key, Qt::KeyboardModifiers modifiers, QStringView text);

}  // namespace quorvex
