// The controls of a Qt window: labels, buttons, pictures and frames as child
// widgets, timers as QtTimers.
#include <QtGui/QMouseEvent>
#include <QtGui/QPixmap>
#include <QtWidgets/QFrame>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "platform/qt/qt_compat.h"
#include "platform/qt/qt_units.h"
#include "platform/qt/qt_window.h"

namespace quorvex {

namespace {

QFont toQFont(const Font& font) {
    QFont qfont(toQString(font.face));
    qfont.setPointSizeF(font.points);
    qt_compat::setWeight(qfont, font.weight);
    return qfont;
}

// A frame raises its click for a press and release of the left button on its
// own surface; its controls keep their presses to themselves.
class FrameControl final : public QFrame {
public:
    FrameControl(QtWindow& owner, ControlId id, QWidget* parent)
        : QFrame(parent), owner_(owner), id_(id) {
        setFrameShape(QFrame::Box);
        setFrameShadow(QFrame::Sunken);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        pressed_ = event->button() == Qt::LeftButton;
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton || !std::exchange(pressed_, false)) return;
        if (rect().contains(qt_compat::localPoint(*event)))
            owner_.raise([id = id_](WindowEvents& events) { events.click(id); });
    }

private:
    QtWindow& owner_;
    ControlId id_;
    bool pressed_ = false;
};

}  // namespace

QWidget* QtWindow::parentFor(const ControlDesc& control) const {
    if (control.parent.empty()) return form_;
    const auto& controls = desc_.controls;
    const auto frame = std::ranges::find(controls, control.parent, &ControlDesc::name);
    if (frame == controls.end() || frame->kind != ControlKind::Frame)
        throw std::invalid_argument("control " + std::string(control.name) + " lies in " +
                                    std::string(control.parent) + ", which is no frame of " +
                                    std::string(desc_.name));
    return controls_[static_cast<ControlId>(frame - controls.begin())];
}

void QtWindow::createControl(ControlId id) {
    const ControlDesc& control = desc_.controls[id];
    if (control.kind == ControlKind::Timer) {
        timers_->add(id, control.intervalMs);
        return;
    }
    QRect geometry = toPixels(control.box);
    QWidget* widget = createWidget(id, parentFor(control), geometry);
    widget->setObjectName(toQString(control.name));
    // Presses and moves on a control neither click its frame nor drag the window.
    widget->setAttribute(Qt::WA_NoMousePropagation);
    widget->setEnabled(control.enabled);
    if (!control.font.face.empty()) widget->setFont(toQFont(control.font));
    widget->setGeometry(geometry);
    if (desc_.keyPreview) widget->installEventFilter(form_);
    controls_[id] = widget;
    if (control.kind == ControlKind::Label && control.autoSize) fitLabel(id);
}

// The widget of a control other than a timer; a picture at its natural size
// changes `geometry` to that size.
QWidget* QtWindow::createWidget(ControlId id, QWidget* parent, QRect& geometry) {
    const ControlDesc& control = desc_.controls[id];
    switch (control.kind) {
    case ControlKind::Label: {
        auto* label = new QLabel(toQString(control.text), parent);
        label->setTextFormat(Qt::PlainText);  // a path is shown as typed, never as markup
        label->setAlignment((control.align == Align::Right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
        // A fixed label wraps its text inside its box; a self-sizing one grows instead.
        label->setWordWrap(!control.autoSize);
        return label;
    }
    case ControlKind::Button: {
        auto* button = new QPushButton(toQString(control.text), parent);
        button->setAutoDefault(false);
        button->setDefault(false);
        QObject::connect(button, &QPushButton::clicked, form_,
                         [this, id] { raise([id](WindowEvents& events) { events.click(id); }); });
        return button;
    }
    case ControlKind::Picture: {
        const QPixmap pixmap(assetPath(control.picture));
        if (pixmap.isNull())
            throw std::runtime_error("no picture asset named \"" + std::string(control.picture) + "\"");
        auto* picture = new QLabel(parent);
        picture->setPixmap(pixmap);
        picture->setScaledContents(control.stretch);
        if (!control.stretch) geometry.setSize(pixmap.size());
        return picture;
    }
    case ControlKind::Frame: return new FrameControl(*this, id, parent);
    case ControlKind::Timer: break;
    }
    throw std::logic_error("a timer has no widget");
}

}  // namespace quorvex
