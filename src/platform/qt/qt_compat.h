// What the toolkit needs of Qt that Qt 6 and Qt 5.15 spell differently; the
// rest of the toolkit is written once, for both.
#pragma once

#include <QtCore/QPoint>
#include <QtCore/QtGlobal>
#include <QtGui/QFont>
#include <QtGui/QGuiApplication>
#include <QtGui/QMouseEvent>
#include <QtGui/QPixmap>
#include <QtWidgets/QLabel>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QtGui/qguiapplication_platform.h>
#else
#include <QtX11Extras/QX11Info>
#endif

#include <algorithm>
#include <array>

struct xcb_connection_t;

namespace quorvex::qt_compat {

// Where the mouse was, on the screen and on the widget that received it.
inline QPoint globalPoint(const QMouseEvent& event) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return event.globalPosition().toPoint();
#else
    return event.globalPos();
#endif
}

inline QPoint localPoint(const QMouseEvent& event) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return event.position().toPoint();
#else
    return event.pos();
#endif
}

// `weight` on the CSS scale the descriptions use (400 normal, 700 bold), which
// Qt 6 shares; Qt 5 counts 0 to 99 and names its steps 0, 12, 25 ... 87.
inline void setWeight(QFont& font, int weight) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    font.setWeight(static_cast<QFont::Weight>(weight));
#else
    constexpr std::array<int, 9> kQt5Steps{QFont::Thin,   QFont::ExtraLight, QFont::Light,
                                           QFont::Normal, QFont::Medium,     QFont::DemiBold,
                                           QFont::Bold,   QFont::ExtraBold,  QFont::Black};
    const int hundreds = std::clamp((weight + 50) / 100, 1, 9);
    font.setWeight(kQt5Steps[static_cast<std::size_t>(hundreds - 1)]);
#endif
}

// What a label shows as its picture; none is a null pixmap.
inline QPixmap labelPixmap(const QLabel& label) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return label.pixmap();
#else
    return label.pixmap(Qt::ReturnByValue);
#endif
}

// Run before the application object exists. Qt 6 scales every window for the
// screen's density; Qt 5 does so only when asked, and then by a whole factor
// (its own rounding): it reads the density off the X screen's size where no
// Xft.dpi is set, and an exact factor would blur every window by 4% on a
// server that claims 100 dpi.
inline void prepareApplication() {
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
}

// The application's own connection to the X server; only on the xcb platform.
inline xcb_connection_t* x11Connection() {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
#else
    return QX11Info::connection();
#endif
}

}  // namespace quorvex::qt_compat
