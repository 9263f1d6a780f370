#include "platform/qt/x11_properties.h"

#include <QtGui/QGuiApplication>
#include <xcb/xcb.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/qt/qt_compat.h"

namespace quorvex::x11 {

namespace {

xcb_connection_t* connection() {
    return available() ? qt_compat::x11Connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    const auto cookie = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

template <std::size_t N>
void replaceProperty(xcb_connection_t* c, WId window, xcb_atom_t property, xcb_atom_t type,
                     const std::array<std::uint32_t, N>& values) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window), property, type,
                        32, N, values.data());
    xcb_flush(c);
}

}  // namespace

bool available() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

void skipTaskbar(WId window) {
    xcb_connection_t* c = connection();
    if (!c) return;
    const std::array<std::uint32_t, 2> states{atom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                              atom(c, "_NET_WM_STATE_SKIP_PAGER")};
    replaceProperty(c, window, atom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, states);
}

void thinBorderWithoutTitle(WId window) {
    xcb_connection_t* c = connection();
    if (!c) return;
    // Motif hints: flags (functions | decorations), functions (move), decorations
    // (border), input mode, status.
    constexpr std::uint32_t kFunctionsAndDecorations = 3, kMove = 4, kBorder = 2;
    const std::array<std::uint32_t, 5> hints{kFunctionsAndDecorations, kMove, kBorder, 0, 0};
    const xcb_atom_t motif = atom(c, "_MOTIF_WM_HINTS");
    replaceProperty(c, window, motif, motif, hints);
}

std::optional<QPoint> placeOnScreen(WId window) {
    xcb_connection_t* c = connection();
    if (!c) return std::nullopt;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const auto cookie = xcb_translate_coordinates(c, static_cast<xcb_window_t>(window), root, 0, 0);
    const std::unique_ptr<xcb_translate_coordinates_reply_t, decltype(&std::free)> reply(
        xcb_translate_coordinates_reply(c, cookie, nullptr), &std::free);
    if (!reply) return std::nullopt;
    return QPoint(reply->dst_x, reply->dst_y);
}

}  // namespace quorvex::x11
