// Form1 on the Qt toolkit, offscreen: its geometry, its logo, and the drag by
// its surface.
#include <QtGui/QIcon>
#include <QtGui/QPixmap>
#include <QtWidgets/QLabel>
#include <QtWidgets/QWidget>

#include <gtest/gtest.h>

#include "fakes.h"
#include "platform/qt/qt_compat.h"
#include "qt_test_env.h"
#include "ui/form1.h"
#include "ui/form1_layout.h"

namespace quorvex::test {
namespace {

using namespace form1;

class QtForm1Test : public testing::Test {
protected:
    void SetUp() override {
        form.window().show();
        runEventLoop(20);
        ASSERT_NE(surface(), nullptr);
    }
    void TearDown() override {
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton})
            releaseAt(surface(), {1, 1}, button);  // never leave a button held for the next test
    }

    QWidget* surface() { return QtToolkit::widgetOf(form.window()); }
    QWidget* control(ControlId id) { return QtToolkit::controlWidgetOf(form.window(), id); }

    // Presses `buttons` on `start` (relative to `from`), moves the mouse by
    // `by`, releases; returns how far the window moved.
    QPoint drag(QWidget* from, QPoint start, QPoint by, std::initializer_list<Qt::MouseButton> buttons) {
        const QPoint before = surface()->pos();
        const QPoint startGlobal = from->mapToGlobal(start);
        for (Qt::MouseButton button : buttons) pressAt(from, start, button);
        moveTo(surface(), surface()->mapFromGlobal(startGlobal + by / 2));
        moveTo(surface(), surface()->mapFromGlobal(startGlobal + by));
        for (Qt::MouseButton button : buttons)
            releaseAt(surface(), surface()->mapFromGlobal(startGlobal + by), button);
        runEventLoop(20);
        return surface()->pos() - before;
    }

    FakeProcessTable processes;
    RecordingKiller killer;
    FakeFileSystem files;
    Form1 form{qtToolkit(), processes, killer, files};
};

TEST_F(QtForm1Test, ClientAreaAndEveryControlMatchTheirBoxes) {
    EXPECT_EQ(surface()->size(), QSize(610, 281));
    for (ControlId id = 0; id < kVisibleControls; ++id) {
        const Box& box = kControls[id].box;
        EXPECT_EQ(rectInWindow(control(id)),
                  (Rect{box.left / 15, box.top / 15, box.width / 15, box.height / 15}))
            << kControls[id].name;
    }
    EXPECT_EQ(form.window().caption(Command1), "立即查杀");
    EXPECT_EQ(form.window().caption(Command2), "最小化");
    EXPECT_EQ(surface()->windowTitle(), QStringLiteral("Quorvex"));
}

TEST_F(QtForm1Test, LogoShowsAtItsNaturalSize) {
    const auto* image = qobject_cast<const QLabel*>(control(Image1));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(qt_compat::labelPixmap(*image).size(), QSize(179, 179));
    EXPECT_FALSE(image->hasScaledContents());
    EXPECT_EQ(image->size(), QSize(179, 179));
}

TEST_F(QtForm1Test, WindowIconHoldsBothSizes) {
    const QList<QSize> sizes = surface()->windowIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
}

TEST_F(QtForm1Test, LeftDragOnTheFreeSurfaceMovesTheWindowWithTheMouse) {
    // Left of the logo, above the buttons: nothing but the window there.
    EXPECT_EQ(drag(surface(), {10, 10}, {37, 23}, {Qt::LeftButton}), QPoint(37, 23));
    EXPECT_EQ(drag(surface(), {590, 260}, {-50, 12}, {Qt::LeftButton}), QPoint(-50, 12));
}

TEST_F(QtForm1Test, DragStartingOnAControlDoesNotMoveTheWindow) {
    for (ControlId id : {Label1, Label2, Image1, Command1, Command2}) {
        QWidget* widget = control(id);
        EXPECT_EQ(drag(widget, widget->rect().center(), {37, 23}, {Qt::LeftButton}), QPoint(0, 0))
            << kControls[id].name;
    }
}

// The worm's path as Label2 shows it: read back byte for byte, drawn as typed.
TEST_F(QtForm1Test, PathCaptionReadsBackExactlyAndShowsAsPlainText) {
    const std::string rows[] = {
        "/media/u/<b>x</b><font color=red>y</font>/winsvcs.exe",
        "/media/u/\xB2\xA1\xB6\xBE/winsvcs.exe",  // GBK: shown with U+FFFD, kept exactly
    };
    auto* label = static_cast<QLabel*>(control(Label2));
    for (const std::string& row : rows) {
        form.window().setCaption(Label2, row);
        EXPECT_EQ(form.window().caption(Label2), row);
        // A plain label of the same text, font and place draws the same picture.
        QLabel plain(QString::fromUtf8(row.data(), qsizetype(row.size())), label->parentWidget());
        plain.setTextFormat(Qt::PlainText);
        plain.setFont(label->font());
        plain.setWordWrap(label->wordWrap());
        plain.setAlignment(label->alignment());
        plain.setGeometry(label->geometry());
        EXPECT_EQ(label->grab().toImage(), plain.grab().toImage()) << row;
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
    }
}

TEST_F(QtForm1Test, HideButtonHidesAndTheNextShowKeepsThePlace) {
    drag(surface(), {10, 10}, {15, 9}, {Qt::LeftButton});
    const QPoint placed = surface()->pos();
    clickAt(control(Command2), control(Command2)->rect().center());
    EXPECT_FALSE(form.window().isVisible());
    form.window().show();
    runEventLoop(20);
    EXPECT_TRUE(form.window().isVisible());
    EXPECT_EQ(surface()->pos(), placed);
}

}  // namespace
}  // namespace quorvex::test
