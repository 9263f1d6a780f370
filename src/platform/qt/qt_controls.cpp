#include "platform/qt/qt_controls.h"

#include <QtGui/QPixmap>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "platform/qt/frame_control.h"
#include "platform/qt/qt_compat.h"
#include "platform/qt/qt_units.h"

namespace quorvex {

namespace {

QFont toQFont(const Font& font) {
    QFont qfont(toQString(font.face));
    qfont.setPointSizeF(font.points);
    qt_compat::setWeight(qfont, font.weight);
    return qfont;
}

QWidget* createLabel(const ControlDesc& control, QWidget* parent) {
    auto* label = new QLabel(toQString(control.text), parent);
    label->setTextFormat(Qt::PlainText);  // a path is shown as typed, never as markup
    label->setAlignment((control.align == Align::Right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
    // A fixed label wraps its text inside its box; a self-sizing one grows instead.
    label->setWordWrap(!control.autoSize);
    return label;
}

}  // namespace

QtControls::QtControls(const WindowDesc& desc, QWidget& form, Raise raise)
    : desc_(desc), form_(form), raise_(std::move(raise)), widgets_(desc.controls.size(), nullptr) {
    // The timers raise through a copy: a handler may unload the window and end these controls.
    timers_ = new QtTimers(&form_, desc_.controls.size(), [raise = raise_](ControlId id) {
        raise([id](WindowEvents& events) { events.timer(id); });
    });
    for (const ControlDesc& control : desc_.controls) captions_.emplace_back(control.text);
    // Frames first: the controls inside them become their children.
    for (ControlId id = 0; id < desc_.controls.size(); ++id)
        if (desc_.controls[id].kind == ControlKind::Frame) create(id);
    for (ControlId id = 0; id < desc_.controls.size(); ++id)
        if (desc_.controls[id].kind != ControlKind::Frame) create(id);
    setTabOrder();
    for (ControlId id = 0; id < desc_.controls.size(); ++id)
        if (desc_.controls[id].running) timers_->setRunning(id, true);
}

void QtControls::create(ControlId id) {
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
    if (desc_.keyPreview) widget->installEventFilter(&form_);
    widgets_[id] = widget;
    if (control.kind == ControlKind::Label && control.autoSize) fitLabel(id);
}

// The widget of a control other than a timer; a picture at its natural size
// changes `geometry` to that size.
QWidget* QtControls::createWidget(ControlId id, QWidget* parent, QRect& geometry) {
    const ControlDesc& control = desc_.controls[id];
    const auto click = [raise = raise_, id] { raise([id](WindowEvents& events) { events.click(id); }); };
    switch (control.kind) {
    case ControlKind::Label: return createLabel(control, parent);
    case ControlKind::Button: {
        auto* button = new QPushButton(toQString(control.text), parent);
        button->setAutoDefault(false);
        button->setDefault(false);
        QObject::connect(button, &QPushButton::clicked, &form_, click);
        return button;
    }
    case ControlKind::Picture: return createPicture(control, parent, geometry);
    case ControlKind::Frame: return new FrameControl(click, parent);
    case ControlKind::Timer: break;
    }
    throw std::logic_error("a timer has no widget");
}

QWidget* QtControls::createPicture(const ControlDesc& control, QWidget* parent, QRect& geometry) const {
    const QPixmap pixmap(assetPath(control.picture));
    if (pixmap.isNull())
        throw std::runtime_error("no picture asset named \"" + std::string(control.picture) + "\"");
    auto* picture = new QLabel(parent);
    picture->setPixmap(pixmap);
    picture->setScaledContents(control.stretch);
    if (!control.stretch) geometry.setSize(pixmap.size());
    return picture;
}

QWidget* QtControls::parentFor(const ControlDesc& control) const {
    if (control.parent.empty()) return &form_;
    const auto& controls = desc_.controls;
    const auto frame = std::ranges::find(controls, control.parent, &ControlDesc::name);
    if (frame == controls.end() || frame->kind != ControlKind::Frame)
        throw std::invalid_argument("control " + std::string(control.name) + " lies in " +
                                    std::string(control.parent) + ", which is no frame of " +
                                    std::string(desc_.name));
    return widgets_[static_cast<ControlId>(frame - controls.begin())];
}

const ControlDesc& QtControls::controlDesc(ControlId id) const {
    if (id >= desc_.controls.size())
        throw std::out_of_range("no control " + std::to_string(id) + " in " + std::string(desc_.name));
    return desc_.controls[id];
}

void QtControls::setCaption(ControlId id, std::string_view text) {
    const ControlKind kind = controlDesc(id).kind;
    captions_[id] = text;
    switch (kind) {
    case ControlKind::Label:
        static_cast<QLabel*>(widgets_[id])->setText(toQString(text));
        if (desc_.controls[id].autoSize) fitLabel(id);
        break;
    case ControlKind::Button: static_cast<QPushButton*>(widgets_[id])->setText(toQString(text)); break;
    default: break;
    }
}

bool QtControls::isEnabled(ControlId id) const {
    if (timers_->contains(id)) return timers_->isRunning(id);
    return widgets_.at(id)->isEnabled();
}

void QtControls::setEnabled(ControlId id, bool enabled) {
    if (timers_->contains(id)) return timers_->setRunning(id, enabled);
    widgets_.at(id)->setEnabled(enabled);
}

void QtControls::setTabOrder() {
    std::vector<ControlId> tabStops;
    for (ControlId id = 0; id < desc_.controls.size(); ++id)
        if (widgets_[id] && desc_.controls[id].tabIndex >= 0 && widgets_[id]->focusPolicy() != Qt::NoFocus)
            tabStops.push_back(id);
    std::ranges::sort(tabStops, {}, [&](ControlId id) { return desc_.controls[id].tabIndex; });
    for (std::size_t i = 1; i < tabStops.size(); ++i)
        QWidget::setTabOrder(widgets_[tabStops[i - 1]], widgets_[tabStops[i]]);
}

// A self-sizing label takes its text's size, keeping its top edge and its left
// edge, or its right edge when right-aligned.
void QtControls::fitLabel(ControlId id) {
    QWidget* label = widgets_[id];
    const QRect before = label->geometry();
    QRect after(before.topLeft(), label->sizeHint());
    if (desc_.controls[id].align == Align::Right) after.moveRight(before.right());
    label->setGeometry(after);
}

}  // namespace quorvex
