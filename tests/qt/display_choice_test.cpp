// Which platform Qt gets: X wherever it answers, Wayland without it, and no
// screen rather than an abort, said in one line.
#include <gtest/gtest.h>

#include "platform/qt/display_choice.h"

namespace quorvex::test {
namespace {

TEST(DisplayChoice, XWhereItAnswersThenWaylandThenNoScreen) {
    const struct {
        const char* what;
        std::string_view userChoice;
        Displays displays;
        const char* platform;  // null: left to the user's choice
        bool notice;
    } rows[] = {
        {"the user's choice stands", "wayland", {":0", true, "wayland-0", true}, nullptr, false},
        {"Xwayland in a Wayland session", "", {":0", true, "wayland-0", true}, "xcb", false},
        {"plain X", "", {":0", true, "", false}, "xcb", false},
        {"Wayland without X", "", {"", false, "wayland-0", true}, "wayland", false},
        {"Wayland, X set but gone", "", {":5", false, "wayland-0", true}, "wayland", false},
        {"DISPLAY names no server", "", {":99", false, "", false}, "offscreen", true},
        {"no display at all", "", {"", false, "", false}, "offscreen", true},
    };
    for (const auto& row : rows) {
        const auto choice = choosePlatform(row.userChoice, row.displays);
        ASSERT_EQ(choice.has_value(), row.platform != nullptr) << row.what;
        if (!choice) continue;
        EXPECT_EQ(choice->platform, row.platform) << row.what;
        EXPECT_EQ(!choice->notice.empty(), row.notice) << row.what;
        EXPECT_EQ(choice->notice.find('\n'), std::string::npos) << row.what;
        if (!row.displays.x.empty() && row.notice) {
            EXPECT_NE(choice->notice.find(row.displays.x), std::string::npos) << "says which display failed";
        }
    }
}

}  // namespace
}  // namespace quorvex::test
