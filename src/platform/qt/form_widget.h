// The surface of a Qt window: mouse moves, character keys, the close
// request and the drag.
#pragma once

#include <QtWidgets/QWidget>

#include "platform/qt/surface_drag.h"

namespace quorvex {

class QtWindow;

class FormWidget final : public QWidget {
public:
    FormWidget(QtWindow& owner, Qt::WindowFlags flags);

    // The window no longer hears events; called before the widget goes away.
    void detach() { owner_ = nullptr; }
    void dragByTitleBar() { drag_.dragByTitleBar(*this); }

protected:
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void closeEvent(QCloseEvent*) override;
    // Key preview: character keys typed into a control reach the window first.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void raiseKeyPress(const QKeyEvent&);

    QtWindow* owner_;
    SurfaceDrag drag_;
};

}  // namespace quorvex
