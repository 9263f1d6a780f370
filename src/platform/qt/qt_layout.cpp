// Where a Qt window and its controls go: the window centred on the screen,
// self-sizing labels fitted to their text, the tab stops in tab order.
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>

#include <algorithm>

#include "platform/qt/qt_window.h"

namespace quorvex {

void QtWindow::centre() {
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    form_->move(area.x() + (area.width() - form_->width()) / 2, area.y() + (area.height() - form_->height()) / 2);
}

// A self-sizing label takes its text's size, keeping its top edge and its left
// edge, or its right edge when right-aligned.
void QtWindow::fitLabel(ControlId id) {
    QWidget* label = controls_[id];
    const QRect before = label->geometry();
    QRect after(before.topLeft(), label->sizeHint());
    if (desc_.controls[id].align == Align::Right) after.moveRight(before.right());
    label->setGeometry(after);
}

void QtWindow::setTabOrder() {
    std::vector<ControlId> tabStops;
    for (ControlId id = 0; id < desc_.controls.size(); ++id)
        if (controls_[id] && desc_.controls[id].tabIndex >= 0 && controls_[id]->focusPolicy() != Qt::NoFocus)
            tabStops.push_back(id);
    std::ranges::sort(tabStops, {}, [&](ControlId id) { return desc_.controls[id].tabIndex; });
    for (std::size_t i = 1; i < tabStops.size(); ++i)
        QWidget::setTabOrder(controls_[tabStops[i - 1]], controls_[tabStops[i]]);
}

}  // namespace quorvex
