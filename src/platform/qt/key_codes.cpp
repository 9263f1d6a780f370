#include "platform/qt/key_codes.h"

namespace quorvex {

namespace {
constexpr int kBackspace = 8, kTab = 9, kLineFeed = 10, kEnter = 13, kEscape = 27, kSpace = 32,
              kDelete = 127;

// Ctrl with a letter gives the control codes 1 to 26; a few other keys keep a
// code of their own; everything else typed with Ctrl gives none.
std::optional<int> controlCode(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return key - Qt::Key_A + 1;
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return kLineFeed;
    case Qt::Key_Backspace: return kDelete;
    case Qt::Key_Space: return kSpace;
    default: return std::nullopt;
    }
}
}  // namespace

std::optional<int> characterCode(int key, Qt::KeyboardModifiers modifiers, QStringView text) {
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    const bool alt = modifiers.testFlag(Qt::AltModifier);
    // Alt alone makes a menu key; Ctrl+Alt is AltGr and types what the text says.
    if (alt && !ctrl) return std::nullopt;
    if (ctrl && !alt) return controlCode(key);

    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return kEnter;
    case Qt::Key_Escape: return kEscape;
    case Qt::Key_Backspace: return kBackspace;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return kTab;
    default: break;
    }
    // The platform's text is also set for Delete (0x7f) and other control codes.
    if (text.isEmpty()) return std::nullopt;
    const char16_t first = text.front().unicode();
    if (first < kSpace || first == kDelete) return std::nullopt;
    return first;
}

}  // namespace quorvex
