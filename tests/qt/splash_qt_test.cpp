// The splash window on the Qt toolkit, offscreen: what it renders, and Tab,
// which moves the focus where it can.
#include <QtGui/QFontInfo>
#include <QtGui/QImage>
#include <QtGui/QPixmap>
#include <QtGui/QWindow>
#include <QtWidgets/QLabel>
#include <QtWidgets/QWidget>

#include <gtest/gtest.h>

#include <set>

#include "qt_test_env.h"
#include "ui/splash.h"
#include "ui/splash_layout.h"

namespace quorvex::test {
namespace {

using namespace splash;

ControlId id(std::string_view name) { return controlIndex(kControls, name); }

class QtSplashTest : public testing::Test {
protected:
    void SetUp() override {
        splash.window().show();
        runEventLoop(20);
        ASSERT_NE(surface(), nullptr);
    }

    QWidget* surface() { return QtToolkit::widgetOf(splash.window()); }
    QWidget* control(std::string_view name) { return QtToolkit::controlWidgetOf(splash.window(), id(name)); }
    const QLabel* label(std::string_view name) { return qobject_cast<const QLabel*>(control(name)); }
    bool loaded() { return splash.window().isLoaded(); }

    FrmSplash splash{qtToolkit()};
};

TEST_F(QtSplashTest, RendersAtItsClientSizeWithMoreThanABackground) {
    const QImage image = surface()->grab().toImage();
    EXPECT_EQ(image.size(), QSize(492, 283));
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 50u) << "text, logo and frame should all show";
}

TEST_F(QtSplashTest, LabelsShowTheirTextsInTheirFonts) {
    for (const ControlDesc& desc : kControls) {
        if (desc.kind != ControlKind::Label) continue;
        ASSERT_NE(label(desc.name), nullptr) << desc.name;
        EXPECT_EQ(label(desc.name)->text().toStdString(), desc.text) << desc.name;
        // A face that is not installed still shows Simplified Chinese glyphs.
        const QFontInfo font(label(desc.name)->font());
        const bool ownFont = !desc.font.face.empty();
        EXPECT_EQ(font.family(), desc.font.face == "宋体" ? "Noto Serif CJK SC" : "Noto Sans CJK SC")
            << desc.name;
        EXPECT_EQ(font.weight(), ownFont ? QFont::Bold : QFont::Normal) << desc.name;
        EXPECT_DOUBLE_EQ(font.pointSizeF(), ownFont ? desc.font.points : 9.0) << desc.name;
    }
}

TEST_F(QtSplashTest, SelfSizingLabelsKeepTheirAnchorEdge) {
    const QWidget* frame = control("Frame1");
    for (std::string_view name : {"lblCompanyProduct", "lblProductName", "lblVersion"}) {
        const ControlDesc& desc = kControls[id(name)];
        const QRect geometry = label(name)->geometry();
        EXPECT_EQ(label(name)->parentWidget(), frame) << name;
        EXPECT_EQ(geometry.size(), label(name)->sizeHint()) << name;
        EXPECT_EQ(geometry.top(), desc.box.top / 15) << name;
        if (desc.align == Align::Right)
            EXPECT_EQ(geometry.x() + geometry.width(), (desc.box.left + desc.box.width) / 15) << name;
        else
            EXPECT_EQ(geometry.x(), desc.box.left / 15) << name;
    }
}

TEST_F(QtSplashTest, LogoIsStretchedIntoItsBox) {
    const auto* logo = label("imgLogo");
    ASSERT_NE(logo, nullptr);
    EXPECT_TRUE(logo->hasScaledContents());
    EXPECT_EQ(rectInWindow(logo), (Rect{32, 57, 161, 159}));
}

// Tab is a character key where there is no control to move the focus to.
TEST_F(QtSplashTest, TabClosesItAsThereIsNoControlToFocus) {
    clickKey(surface()->windowHandle(), Qt::Key_Tab);
    EXPECT_FALSE(loaded());
}

}  // namespace
}  // namespace quorvex::test
