#include "app_fixture.h"

namespace quorvex::test {
namespace {

using namespace splash;

class SplashTest : public AppTest {
protected:
    void SetUp() override { start(); }
    ControlId id(std::string_view name) { return controlIndex(kControls, name); }
};

TEST_F(SplashTest, LayoutInsideTheFrame) {
    EXPECT_EQ(splashWindow().clientRect().width, 492);
    EXPECT_EQ(splashWindow().clientRect().height, 283);
    EXPECT_EQ(splashWindow().controlRect(Frame1), (Rect{8, 4, 472, 270}));
    // Inside the frame, from the frame's corner: 24,53 + 8,4.
    EXPECT_EQ(splashWindow().controlRect(id("imgLogo")), (Rect{32, 57, 161, 159}));
    EXPECT_EQ(splashWindow().controlRect(id("lblVersion")), (Rect{380, 164, 78, 16}));
    EXPECT_EQ(splashWindow().caption(id("lblVersion")), "版本：3.0");
    EXPECT_EQ(splashWindow().caption(id("Label3")), "病毒库版本：20220517");
    EXPECT_TRUE(kWindow.keyPreview);
    EXPECT_EQ(kWindow.border, Border::FixedDialog);
    for (const ControlDesc& control : kControls)
        if (!control.font.face.empty()) {
            EXPECT_EQ(control.font.charset, 134) << control.name;
            EXPECT_EQ(control.font.weight, 700) << control.name;
        }
}

TEST_F(SplashTest, ClosesAtThreeSecondsNotBefore) {
    toolkit.advance(2999);
    EXPECT_TRUE(splashWindow().isVisible());
    toolkit.advance(1);
    EXPECT_FALSE(splashWindow().isLoaded());
    EXPECT_EQ(splashWindow().timerFireCount(Timer1), 1);
    toolkit.advance(10000);
    EXPECT_EQ(splashWindow().timerFireCount(Timer1), 1) << "an unloaded window's timer stays dead";
}

TEST_F(SplashTest, AKeyClosesItAndEndsTheOtherTriggers) {
    toolkit.advance(500);
    splashWindow().pressKey('a');
    EXPECT_FALSE(splashWindow().isLoaded());
    toolkit.advance(5000);
    EXPECT_EQ(splashWindow().timerFireCount(Timer1), 0);
    splashWindow().click(Frame1);
    splashWindow().show();
    EXPECT_FALSE(splashWindow().isVisible()) << "never shown again";
}

TEST_F(SplashTest, OnlyAClickOnTheFreeSurfaceOfTheFrameCloses) {
    for (std::string_view name : {"imgLogo", "lblCompanyProduct", "lblProductName", "Label1",
                                  "lblVersion", "lblCopyright", "lblCompany", "Label3"}) {
        const Rect box = splashWindow().controlRect(id(name));
        splashWindow().clickAt({box.x + box.width / 2, box.y + box.height / 2});
        EXPECT_TRUE(splashWindow().isLoaded()) << name;
    }
    splashWindow().clickAt({3, 140});  // the margin left of the frame
    EXPECT_TRUE(splashWindow().isLoaded());
    splashWindow().clickAt({20, 20});  // inside the frame, above every control
    EXPECT_FALSE(splashWindow().isLoaded());
}

TEST_F(SplashTest, ClosingEarlyLeavesThePollRhythmAlone) {
    toolkit.advance(250);
    splashWindow().click(Frame1);
    toolkit.advance(750);
    for (std::size_t i = form1::kVisibleControls; i < form1::kControls.size(); ++i)
        EXPECT_EQ(main().timerFireTimes(i).size(), 10u);
    EXPECT_FALSE(main().isVisible());
}

}  // namespace
}  // namespace quorvex::test
