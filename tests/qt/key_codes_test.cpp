// Which key presses count as character keys, with the texts the X11 platform
// reports for them.
#include "platform/qt/key_codes.h"

#include <gtest/gtest.h>

#include <optional>

namespace quorvex {
namespace {

struct KeyCase {
    const char* what;
    int key;
    Qt::KeyboardModifiers modifiers;
    const char16_t* text;
    std::optional<int> code;
};

void PrintTo(const KeyCase& c, std::ostream* out) { *out << c.what; }

class KeyCodeTest : public testing::TestWithParam<KeyCase> {};

TEST_P(KeyCodeTest, MatchesTheCharacterMessage) {
    const KeyCase& c = GetParam();
    EXPECT_EQ(characterCode(c.key, c.modifiers, QStringView(c.text)), c.code) << c.what;
}

constexpr auto None = Qt::NoModifier;
constexpr auto Shift = Qt::ShiftModifier;
constexpr auto Ctrl = Qt::ControlModifier;
constexpr auto Alt = Qt::AltModifier;

INSTANTIATE_TEST_SUITE_P(CharacterKeys, KeyCodeTest, testing::Values(
    KeyCase{"letter", Qt::Key_A, None, u"a", 'a'},
    KeyCase{"shifted letter", Qt::Key_A, Shift, u"A", 'A'},
    KeyCase{"digit", Qt::Key_7, None, u"7", '7'},
    KeyCase{"keypad digit", Qt::Key_7, Qt::KeypadModifier, u"7", '7'},
    KeyCase{"punctuation", Qt::Key_Comma, None, u",", ','},
    KeyCase{"shifted punctuation", Qt::Key_Exclam, Shift, u"!", '!'},
    KeyCase{"space", Qt::Key_Space, None, u" ", ' '},
    KeyCase{"enter", Qt::Key_Return, None, u"\r", 13},
    KeyCase{"keypad enter", Qt::Key_Enter, Qt::KeypadModifier, u"\r", 13},
    KeyCase{"escape", Qt::Key_Escape, None, u"\x1b", 27},
    KeyCase{"backspace", Qt::Key_Backspace, None, u"\b", 8},
    KeyCase{"tab", Qt::Key_Tab, None, u"\t", 9},
    KeyCase{"shift tab", Qt::Key_Backtab, Shift, u"", 9},
    KeyCase{"ctrl a", Qt::Key_A, Ctrl, u"\x01", 1},
    KeyCase{"ctrl shift z", Qt::Key_Z, Ctrl | Shift, u"\x1a", 26},
    KeyCase{"ctrl enter", Qt::Key_Return, Ctrl, u"\r", 10},
    KeyCase{"altgr euro", Qt::Key_E, Ctrl | Alt, u"\u20ac", 0x20ac},
    KeyCase{"chinese", Qt::Key_unknown, None, u"\u4e2d", 0x4e2d}));

INSTANTIATE_TEST_SUITE_P(KeysWithoutCharacter, KeyCodeTest, testing::Values(
    KeyCase{"shift alone", Qt::Key_Shift, Shift, u"", std::nullopt},
    KeyCase{"ctrl alone", Qt::Key_Control, Ctrl, u"", std::nullopt},
    KeyCase{"alt alone", Qt::Key_Alt, Alt, u"", std::nullopt},
    KeyCase{"delete", Qt::Key_Delete, None, u"\x7f", std::nullopt},
    KeyCase{"insert", Qt::Key_Insert, None, u"", std::nullopt},
    KeyCase{"home", Qt::Key_Home, None, u"", std::nullopt},
    KeyCase{"end", Qt::Key_End, None, u"", std::nullopt},
    KeyCase{"page up", Qt::Key_PageUp, None, u"", std::nullopt},
    KeyCase{"page down", Qt::Key_PageDown, None, u"", std::nullopt},
    KeyCase{"left", Qt::Key_Left, None, u"", std::nullopt},
    KeyCase{"down", Qt::Key_Down, None, u"", std::nullopt},
    KeyCase{"f1", Qt::Key_F1, None, u"", std::nullopt},
    KeyCase{"f12", Qt::Key_F12, None, u"", std::nullopt},
    KeyCase{"alt letter", Qt::Key_F, Alt, u"f", std::nullopt},
    KeyCase{"ctrl digit", Qt::Key_1, Ctrl, u"1", std::nullopt},
    KeyCase{"ctrl f1", Qt::Key_F1, Ctrl, u"", std::nullopt}));

}  // namespace
}  // namespace quorvex
