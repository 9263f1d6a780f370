// The surface of a Qt window: mouse moves, character keys, the close
// request and the manual drag.
#pragma once

#include <QtCore/QPoint>
#include <QtWidgets/QWidget>

namespace quorvex {

class QtWindow;

// The window's own surface: mouse moves, character keys and the manual drag.
class FormWidget final : public QWidget {
public:
    FormWidget(QtWindow& owner, Qt::WindowFlags flags);

    // The window no longer hears events; called before the widget goes away.
    void detach() { owner_ = nullptr; }
    void dragByTitleBar();

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
    bool leftPressedHere_ = false;
    bool manualDrag_ = false;
    QPoint pressOffset_;   // from the window's corner to the mouse, at the press
    QPoint lastGlobal_;    // the mouse, at the last move over the surface
};

}  // namespace quorvex
