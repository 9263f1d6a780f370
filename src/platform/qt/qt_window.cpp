#include "platform/qt/qt_window.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QIcon>
#include <QtGui/QRegion>
#include <QtGui/QScreen>

#include "platform/qt/qt_units.h"
#include "platform/qt/x11_properties.h"

namespace quorvex {

namespace {

void centre(QWidget& window) {
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    window.move(area.x() + (area.width() - window.width()) / 2, area.y() + (area.height() - window.height()) / 2);
}

// Whether the screens show every part of the window, its frame included.
bool liesOnTheScreens(const QWidget& window) {
    QRect place = window.frameGeometry();
    if (window.isVisible())
        if (const auto corner = x11::placeOnScreen(window.winId()))
            place.translate(*corner - window.geometry().topLeft());
    QRegion shown;
    for (const QScreen* screen : QGuiApplication::screens()) shown += screen->geometry();
    return QRegion(place).subtracted(shown).isEmpty();
}

}  // namespace

QtWindow::QtWindow(const WindowDesc& desc, WindowEvents& events, EventDispatch& dispatch)
    : desc_(desc), events_(events), dispatch_(dispatch) {
    Qt::WindowFlags flags = (desc.showInTaskbar ? Qt::Window : Qt::Tool) | Qt::FramelessWindowHint;
    if (desc.stayOnTop) flags |= Qt::WindowStaysOnTopHint;
    form_ = new FormWidget(*this, flags);
    // Mapped without the focus (on X, a user time of 0 tells the window manager).
    form_->setAttribute(Qt::WA_ShowWithoutActivating, desc.stayOnTop);
    form_->setObjectName(toQString(desc.name));
    form_->setWindowTitle(toQString(desc.title));
    if (!desc.icon.empty()) form_->setWindowIcon(QIcon(assetPath(desc.icon)));
    form_->setFixedSize(twipsToPixels(desc.clientWidth), twipsToPixels(desc.clientHeight));
    try {
        controls_.emplace(desc, *form_, [this](const auto& event) { raise(event); });
    } catch (...) {
        tearDown(false);
        throw;
    }
    if (desc.centred) centre(*form_);
    followScreens();
}

QtWindow::~QtWindow() { tearDown(true); }

void QtWindow::raise(const std::function<void(WindowEvents&)>& event) {
    if (isLoaded()) dispatch_.run([&] { event(events_); });
}

void QtWindow::show() {
    if (!isLoaded()) return;
    if (!liesOnTheScreens(*form_)) centre(*form_);
    if (form_->isVisible()) {
        if (desc_.stayOnTop) form_->raise();
        return;
    }
    // Written while unmapped: window managers read these when the window maps.
    applyWindowManagerHints();
    form_->show();
    // A window without focusable controls gets keys only once activated; one
    // that stays on top leaves them where they are.
    if (!desc_.stayOnTop) form_->activateWindow();
}

void QtWindow::hide() {
    if (isLoaded()) form_->hide();
}

bool QtWindow::isVisible() const { return isLoaded() && form_->isVisible(); }

void QtWindow::unload() {
    if (isLoaded()) tearDown(true);
}

std::string QtWindow::caption(ControlId id) const { return isLoaded() ? controls_->caption(id) : std::string(); }

void QtWindow::setCaption(ControlId id, std::string_view text) {
    if (isLoaded()) controls_->setCaption(id, text);
}

bool QtWindow::isEnabled(ControlId id) const { return isLoaded() && controls_->isEnabled(id); }

void QtWindow::setEnabled(ControlId id, bool enabled) {
    if (isLoaded()) controls_->setEnabled(id, enabled);
}

void QtWindow::dragByTitleBar() {
    if (isVisible()) form_->dragByTitleBar();
}

void QtWindow::followScreens() {
    // Through the widget alone: it may outlive this window by a moment.
    const auto recheck = [window = QPointer<QWidget>(form_.data())] {
        if (window && window->isVisible() && !liesOnTheScreens(*window)) centre(*window);
    };
    // The place it goes to is worked out from the available area, which Qt
    // may change only after the screen's whole size.
    const auto watch = [form = form_.data(), recheck](QScreen* screen) {
        QObject::connect(screen, &QScreen::geometryChanged, form, recheck);
        QObject::connect(screen, &QScreen::availableGeometryChanged, form, recheck);
    };
    for (QScreen* screen : QGuiApplication::screens()) watch(screen);
    QObject::connect(qGuiApp, &QGuiApplication::screenAdded, form_.data(),
                     [watch, recheck](QScreen* screen) { watch(screen), recheck(); });
    // Sent while the screen is still listed: the check waits until it is not.
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, form_.data(), recheck, Qt::QueuedConnection);
}

void QtWindow::applyWindowManagerHints() {
    if (!x11::available()) return;
    const WId window = form_->winId();
    if (!desc_.showInTaskbar) x11::skipTaskbar(window);
    if (desc_.border == Border::FixedDialog) x11::thinBorderWithoutTitle(window);
}

// Stops everything at once; the widget itself may only go once the event
// under way (perhaps its own timer's) has returned.
void QtWindow::tearDown(bool deleteLater) {
    if (controls_) controls_->stopTimers();
    // The widgets it points to may be gone by the next call.
    controls_.reset();
    if (!form_) return;
    form_->detach();
    form_->hide();
    if (deleteLater)
        form_->deleteLater();
    else
        delete form_.data();
}

}  // namespace quorvex
