#include "platform/qt/qt_window.h"

#include <QtGui/QCloseEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QIcon>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPixmap>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtCore/QTimer>
#include <QtWidgets/QFrame>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "platform/qt/key_codes.h"
#include "platform/qt/x11_properties.h"

namespace quorvex {

namespace {

int toPixels(int twips) { return twips / kTwipsPerPixel; }

QRect toPixels(const Box& box) {
    return {toPixels(box.left), toPixels(box.top), toPixels(box.width), toPixels(box.height)};
}

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString assetPath(std::string_view name) { return QStringLiteral(":/assets/") + toQString(name); }

QFont toQFont(const Font& font) {
    QFont qfont(toQString(font.face));
    qfont.setPointSizeF(font.points);
    qfont.setWeight(static_cast<QFont::Weight>(font.weight));
    return qfont;
}

// The held buttons as the mouse-move event carries them: 1 left, 2 right, 4 middle.
int buttonSet(Qt::MouseButtons buttons) {
    return (buttons.testFlag(Qt::LeftButton) ? kLeftButton : 0) |
           (buttons.testFlag(Qt::RightButton) ? kRightButton : 0) |
           (buttons.testFlag(Qt::MiddleButton) ? kMiddleButton : 0);
}

// A frame raises its click for a press and release of the left button on its
// own surface; its controls keep their presses to themselves.
class FrameControl final : public QFrame {
public:
    FrameControl(QtWindow& owner, ControlId id, QWidget* parent)
        : QFrame(parent), owner_(owner), id_(id) {
        setFrameStyle(QFrame::Box | QFrame::Sunken);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        pressed_ = event->button() == Qt::LeftButton;
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton || !std::exchange(pressed_, false)) return;
        if (rect().contains(event->position().toPoint()))
            owner_.raise([id = id_](WindowEvents& events) { events.click(id); });
    }

private:
    QtWindow& owner_;
    ControlId id_;
    bool pressed_ = false;
};

}  // namespace

// --- FormWidget ---

FormWidget::FormWidget(QtWindow& owner, Qt::WindowFlags flags) : QWidget(nullptr, flags), owner_(&owner) {
    setMouseTracking(true);  // moves without a button held are events too
}

void FormWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    leftPressedHere_ = true;
    pressOffset_ = event->globalPosition().toPoint() - pos();
}

void FormWidget::mouseMoveEvent(QMouseEvent* event) {
    lastGlobal_ = event->globalPosition().toPoint();
    if (owner_)
        owner_->raise([buttons = buttonSet(event->buttons())](WindowEvents& events) {
            events.mouseMove(buttons);
        });
}

void FormWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    leftPressedHere_ = false;
    manualDrag_ = false;
}

void FormWidget::dragByTitleBar() {
    if (manualDrag_) {
        move(lastGlobal_ - pressOffset_);
        return;
    }
    // Only a press on the surface itself starts a drag.
    if (!leftPressedHere_) return;
    // The window manager moves the window and keeps the mouse until the release,
    // which this widget may never see: a new drag needs a new press.
    if (windowHandle() && windowHandle()->startSystemMove()) {
        leftPressedHere_ = false;
        return;
    }
    // No window manager to ask (bare X server, offscreen): follow the mouse
    // ourselves on each move until the button is released.
    manualDrag_ = true;
    move(lastGlobal_ - pressOffset_);
}

void FormWidget::keyPressEvent(QKeyEvent* event) {
    // A key a control left unhandled comes up here; the window hears only its own
    // keys, and its controls' keys through key preview.
    const QWidget* focus = focusWidget();
    if (focus && focus != this) {
        event->ignore();
        return;
    }
    raiseKeyPress(*event);
}

// The user's close (Alt+F4, the window manager's close button) only hides:
// the window stays loaded and its timers keep running.
void FormWidget::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}

bool FormWidget::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && owner_ && owner_->keyPreview())
        raiseKeyPress(static_cast<const QKeyEvent&>(*event));
    return QWidget::eventFilter(watched, event);
}

void FormWidget::raiseKeyPress(const QKeyEvent& event) {
    const auto code = characterCode(event.key(), event.modifiers(), event.text());
    if (owner_ && code)
        owner_->raise([code = *code](WindowEvents& events) { events.keyPress(code); });
}

// --- QtWindow ---

QtWindow::QtWindow(const WindowDesc& desc, WindowEvents& events, EventDispatch& dispatch)
    : desc_(desc), events_(events), dispatch_(dispatch) {
    const Qt::WindowFlags flags =
        (desc.showInTaskbar ? Qt::Window : Qt::Tool) | Qt::FramelessWindowHint;
    form_ = new FormWidget(*this, flags);
    form_->setObjectName(toQString(desc.name));
    form_->setWindowTitle(toQString(desc.title));
    if (!desc.icon.empty()) form_->setWindowIcon(QIcon(assetPath(desc.icon)));
    form_->setFixedSize(toPixels(desc.clientWidth), toPixels(desc.clientHeight));

    controls_.assign(desc.controls.size(), nullptr);
    timers_.assign(desc.controls.size(), nullptr);
    for (const ControlDesc& control : desc.controls) captions_.emplace_back(control.text);
    try {
        // Frames first: the controls inside them become their children.
        for (ControlId id = 0; id < desc.controls.size(); ++id)
            if (desc.controls[id].kind == ControlKind::Frame) createControl(id);
        for (ControlId id = 0; id < desc.controls.size(); ++id)
            if (desc.controls[id].kind != ControlKind::Frame) createControl(id);
    } catch (...) {
        tearDown(false);
        throw;
    }

    std::vector<ControlId> tabStops;
    for (ControlId id = 0; id < desc.controls.size(); ++id)
        if (controls_[id] && desc.controls[id].tabIndex >= 0 && controls_[id]->focusPolicy() != Qt::NoFocus)
            tabStops.push_back(id);
    std::ranges::sort(tabStops, {}, [&](ControlId id) { return desc.controls[id].tabIndex; });
    for (std::size_t i = 1; i < tabStops.size(); ++i)
        QWidget::setTabOrder(controls_[tabStops[i - 1]], controls_[tabStops[i]]);

    if (desc.centred) {
        QScreen* screen = QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->availableGeometry() : QRect();
        form_->move(area.x() + (area.width() - form_->width()) / 2,
                    area.y() + (area.height() - form_->height()) / 2);
    }
    for (ControlId id = 0; id < desc.controls.size(); ++id)
        if (timers_[id] && desc.controls[id].running) timers_[id]->start();
}

QtWindow::~QtWindow() { tearDown(true); }

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
        auto* timer = new QTimer(form_);
        timer->setTimerType(Qt::PreciseTimer);
        timer->setInterval(control.intervalMs);
        QObject::connect(timer, &QTimer::timeout, form_,
                         [this, id] { raise([id](WindowEvents& events) { events.timer(id); }); });
        timers_[id] = timer;
        return;
    }

    QWidget* parent = parentFor(control);
    QWidget* widget = nullptr;
    QRect geometry = toPixels(control.box);
    switch (control.kind) {
    case ControlKind::Label: {
        auto* label = new QLabel(toQString(control.text), parent);
        label->setTextFormat(Qt::PlainText);  // a path is shown as typed, never as markup
        label->setAlignment((control.align == Align::Right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
        // A fixed label wraps its text inside its box; a self-sizing one grows instead.
        label->setWordWrap(!control.autoSize);
        widget = label;
        break;
    }
    case ControlKind::Button: {
        auto* button = new QPushButton(toQString(control.text), parent);
        button->setAutoDefault(false);
        button->setDefault(false);
        QObject::connect(button, &QPushButton::clicked, form_,
                         [this, id] { raise([id](WindowEvents& events) { events.click(id); }); });
        widget = button;
        break;
    }
    case ControlKind::Picture: {
        const QPixmap pixmap(assetPath(control.picture));
        if (pixmap.isNull())
            throw std::runtime_error("no picture asset named \"" + std::string(control.picture) + "\"");
        auto* picture = new QLabel(parent);
        picture->setPixmap(pixmap);
        picture->setScaledContents(control.stretch);
        if (!control.stretch) geometry.setSize(pixmap.size());
        widget = picture;
        break;
    }
    case ControlKind::Frame: widget = new FrameControl(*this, id, parent); break;
    case ControlKind::Timer: break;
    }

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

// A self-sizing label takes its text's size, keeping its top edge and its left
// edge, or its right edge when right-aligned.
void QtWindow::fitLabel(ControlId id) {
    QWidget* label = controls_[id];
    const QRect before = label->geometry();
    QRect after(before.topLeft(), label->sizeHint());
    if (desc_.controls[id].align == Align::Right) after.moveRight(before.right());
    label->setGeometry(after);
}

void QtWindow::applyWindowManagerHints() {
    if (!x11::available()) return;
    const WId window = form_->winId();
    if (!desc_.showInTaskbar) x11::skipTaskbar(window);
    if (desc_.border == Border::FixedDialog) x11::thinBorderWithoutTitle(window);
}

void QtWindow::show() {
    if (!isLoaded() || form_->isVisible()) return;
    // Written while unmapped: window managers read these when the window maps.
    applyWindowManagerHints();
    form_->show();
    // A window without focusable controls gets keys only once activated.
    form_->activateWindow();
}

void QtWindow::hide() {
    if (isLoaded()) form_->hide();
}

void QtWindow::unload() {
    if (isLoaded()) tearDown(true);
}

// Stops everything at once; the widget itself may only go once the event
// under way (perhaps its own timer's) has returned.
void QtWindow::tearDown(bool deleteLater) {
    loaded_ = false;
    // Once only: the widgets these point to may be gone by the next call.
    for (QTimer* timer : std::exchange(timers_, {}))
        if (timer) timer->stop();
    controls_.clear();
    if (!form_) return;
    form_->detach();
    form_->hide();
    if (deleteLater)
        form_->deleteLater();
    else
        delete form_.data();
}

const ControlDesc& QtWindow::controlDesc(ControlId id) const {
    if (id >= desc_.controls.size())
        throw std::out_of_range("no control " + std::to_string(id) + " in " + std::string(desc_.name));
    return desc_.controls[id];
}

bool QtWindow::isVisible() const { return isLoaded() && form_->isVisible(); }

std::uintptr_t QtWindow::handle() const { return isLoaded() ? form_->winId() : 0; }

std::string QtWindow::caption(ControlId id) const {
    return isLoaded() ? captions_.at(id) : std::string();
}

void QtWindow::setCaption(ControlId id, std::string_view text) {
    if (!isLoaded()) return;
    const ControlKind kind = controlDesc(id).kind;
    captions_[id] = text;
    switch (kind) {
    case ControlKind::Label:
        static_cast<QLabel*>(controls_[id])->setText(toQString(text));
        if (desc_.controls[id].autoSize) fitLabel(id);
        break;
    case ControlKind::Button: static_cast<QPushButton*>(controls_[id])->setText(toQString(text)); break;
    default: break;
    }
}

bool QtWindow::isEnabled(ControlId id) const {
    if (!isLoaded()) return false;
    if (QTimer* timer = timers_.at(id)) return timer->isActive();
    return controls_[id]->isEnabled();
}

void QtWindow::setEnabled(ControlId id, bool enabled) {
    if (!isLoaded()) return;
    if (QTimer* timer = timers_.at(id)) {
        if (enabled != timer->isActive()) enabled ? timer->start() : timer->stop();
        return;
    }
    controls_[id]->setEnabled(enabled);
}

void QtWindow::dragByTitleBar() noexcept {
    try {
        if (isVisible()) form_->dragByTitleBar();
    } catch (...) {
        // A drag that fails simply does not move the window.
    }
}

void QtWindow::raise(const std::function<void(WindowEvents&)>& event) {
    if (isLoaded()) dispatch_.run([&] { event(events_); });
}

}  // namespace quorvex
