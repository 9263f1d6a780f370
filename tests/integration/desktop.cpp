#include "desktop.h"

#include <QtGui/QImage>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <system_error>
#include <tuple>

namespace quorvex::test {

namespace {

using Clock = std::chrono::steady_clock;

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply>
ReplyPtr<Reply> owned(Reply* reply) {
    return ReplyPtr<Reply>(reply, &std::free);
}

}  // namespace

// --- XDesktop ---

bool XWindow::hasState(const std::string& name) const {
    return std::ranges::find(states, name) != states.end();
}

namespace {

// Starts an X server that picks a free display itself and writes its number
// to the descriptor given; returns the server with its display.
std::pair<Child, std::string> startServer(const std::string& program, std::vector<std::string> arguments,
                                          std::optional<std::vector<std::string>> environment = std::nullopt) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
    arguments.insert(arguments.begin(), {"-displayfd", std::to_string(kPassedFd), "-noreset", "-nolisten", "tcp"});
    Child server(program, arguments, {.environment = std::move(environment), .log = "/dev/null", .passFd = pipeFds[1]});
    close(pipeFds[1]);
    std::string number;
    pollfd readable{pipeFds[0], POLLIN, 0};
    const auto deadline = Clock::now() + 10s;
    char c = 0;
    while (Clock::now() < deadline && poll(&readable, 1, 100) >= 0) {
        if (!(readable.revents & (POLLIN | POLLHUP))) continue;
        if (read(pipeFds[0], &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    close(pipeFds[0]);
    if (number.empty()) throw std::runtime_error(program + " did not report a display");
    return {std::move(server), ":" + number};
}

}  // namespace

XDesktop::XDesktop(bool withWindowManager, bool resizableScreen) {
    const std::vector<std::string> screen{"-screen", "0", "1280x1024x24"};
    std::tie(server_, display_) = startServer("Xvfb", screen);
    if (resizableScreen) {
        // Xvfb keeps its screen's size; Xephyr, shown on it, changes its own when asked.
        host_ = std::move(server_);
        std::tie(server_, display_) = startServer("Xephyr", {"-screen", "1280x1024", "-resizeable"},
                                                  withVariables(inheritedEnvironment(), {"DISPLAY=" + display_}));
    }

    connection_ = xcb_connect(display_.c_str(), nullptr);
    if (xcb_connection_has_error(connection_)) throw std::runtime_error("cannot connect to " + display_);
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    // Answers to pings are sent to the root window, to those who select
    // either of these (toolkits differ in which they name).
    const std::uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &events);

    if (withWindowManager) {
        windowManager_ = Child("openbox", {"--sm-disable"}, {.environment = environment(), .log = "/dev/null"});
        const xcb_atom_t check = atom("_NET_SUPPORTING_WM_CHECK");
        const bool ready = waitUntil(
            [&] {
                const auto reply = owned(xcb_get_property_reply(
                    connection_, xcb_get_property(connection_, 0, root_, check, XCB_ATOM_WINDOW, 0, 1), nullptr));
                return reply && xcb_get_property_value_length(reply.get()) > 0;
            },
            10s);
        if (!ready) throw std::runtime_error("openbox did not come up on " + display_);
    }
}

XDesktop::~XDesktop() {
    windowManager_.stop();
    if (connection_) xcb_disconnect(connection_);
    server_.stop();
    host_.stop();
}

std::vector<std::string> XDesktop::environment() const {
    return withVariables(inheritedEnvironment(), {"DISPLAY=" + display_, "WAYLAND_DISPLAY", "QT_QPA_PLATFORM=xcb"});
}

std::uint32_t XDesktop::atom(const char* name) const {
    const auto reply = owned(xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply ? reply->atom : 0;
}

std::string XDesktop::atomName(std::uint32_t value) const {
    const auto reply = owned(xcb_get_atom_name_reply(connection_, xcb_get_atom_name(connection_, value), nullptr));
    if (!reply) return {};
    return std::string(xcb_get_atom_name_name(reply.get()),
                       static_cast<std::size_t>(xcb_get_atom_name_name_length(reply.get())));
}

std::vector<XWindow> XDesktop::mappedWindowsOf(pid_t pid) const {
    // The window manager reparents clients into frames: walk the whole tree.
    std::vector<xcb_window_t> windows;
    std::vector<xcb_window_t> pending{root_};
    while (!pending.empty()) {
        const xcb_window_t parent = pending.back();
        pending.pop_back();
        const auto tree = owned(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, parent), nullptr));
        if (!tree) continue;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            windows.push_back(children[i]);
            pending.push_back(children[i]);
        }
    }

    const xcb_atom_t pidAtom = atom("_NET_WM_PID"), stateAtom = atom("_NET_WM_STATE");
    std::vector<XWindow> result;
    for (const xcb_window_t window : windows) {
        const auto owner = owned(xcb_get_property_reply(
            connection_, xcb_get_property(connection_, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
        if (!owner || xcb_get_property_value_length(owner.get()) != 4 ||
            *static_cast<const std::uint32_t*>(xcb_get_property_value(owner.get())) != std::uint32_t(pid))
            continue;
        const auto attributes = owned(xcb_get_window_attributes_reply(
            connection_, xcb_get_window_attributes(connection_, window), nullptr));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE) continue;
        const auto geometry = owned(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr));
        const auto origin = owned(xcb_translate_coordinates_reply(
            connection_, xcb_translate_coordinates(connection_, window, root_, 0, 0), nullptr));
        if (!geometry || !origin) continue;

        XWindow found{window, origin->dst_x, origin->dst_y, geometry->width, geometry->height, {}};
        const auto states = owned(xcb_get_property_reply(
            connection_, xcb_get_property(connection_, 0, window, stateAtom, XCB_ATOM_ATOM, 0, 64), nullptr));
        if (states) {
            const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(states.get()));
            for (int i = 0; i < xcb_get_property_value_length(states.get()) / 4; ++i)
                found.states.push_back(atomName(atoms[i]));
        }
        result.push_back(std::move(found));
    }
    return result;
}

QImage XDesktop::grab(const XWindow& window) const {
    const auto reply = owned(xcb_get_image_reply(
        connection_,
        xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, static_cast<std::int16_t>(window.x),
                      static_cast<std::int16_t>(window.y), static_cast<std::uint16_t>(window.width),
                      static_cast<std::uint16_t>(window.height), ~0U),
        nullptr));
    const std::size_t rowBytes = std::size_t(window.width) * 4;  // 24-bit depth, 32 bits a pixel
    if (!reply || std::size_t(xcb_get_image_data_length(reply.get())) != rowBytes * window.height)
        throw std::runtime_error("cannot read the screen of " + display_);
    QImage image(window.width, window.height, QImage::Format_RGB32);
    const std::uint8_t* data = xcb_get_image_data(reply.get());
    for (int y = 0; y < window.height; ++y) std::memcpy(image.scanLine(y), data + y * rowBytes, rowBytes);
    return image;
}

std::uint32_t XDesktop::openMaximisedWindow() {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    const xcb_window_t window = xcb_generate_id(connection_);
    const std::uint32_t background = screen->white_pixel;
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root_, 0, 0, screen->width_in_pixels,
                      screen->height_in_pixels, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL, &background);
    const std::uint32_t maximised[] = {atom("_NET_WM_STATE_MAXIMIZED_VERT"), atom("_NET_WM_STATE_MAXIMIZED_HORZ")};
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 2,
                        maximised);
    xcb_map_window(connection_, window);
    xcb_flush(connection_);
    const bool mapped = waitUntil(
        [&] {
            const auto attributes = owned(xcb_get_window_attributes_reply(
                connection_, xcb_get_window_attributes(connection_, window), nullptr));
            return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        },
        10s);
    if (!mapped) throw std::runtime_error("the maximised window never showed on " + display_);
    return window;
}

std::uint32_t XDesktop::activeWindow() const {
    const auto reply = owned(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, root_, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 0, 1),
        nullptr));
    if (!reply || xcb_get_property_value_length(reply.get()) != 4) return 0;
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
}

int XDesktop::run(const std::vector<std::string>& argv) const {
    return runCommand(argv, 10s, {.environment = environment(), .log = "/dev/null"});
}

bool XDesktop::ping(const XWindow& window, std::chrono::milliseconds timeout) {
    const xcb_atom_t ping = atom("_NET_WM_PING");
    const std::uint32_t stamp = ++pings_;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window.id;
    message.type = atom("WM_PROTOCOLS");
    message.data.data32[0] = ping;
    message.data.data32[1] = stamp;
    message.data.data32[2] = window.id;
    xcb_send_event(connection_, 0, window.id, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    xcb_flush(connection_);

    const auto deadline = Clock::now() + timeout;
    pollfd readable{xcb_get_file_descriptor(connection_), POLLIN, 0};
    while (true) {
        while (const auto event = owned(xcb_poll_for_event(connection_))) {
            if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) continue;
            const auto* answer = reinterpret_cast<const xcb_client_message_event_t*>(event.get());
            if (answer->data.data32[0] == ping && answer->data.data32[1] == stamp) return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left <= 0ms || xcb_connection_has_error(connection_)) return false;
        poll(&readable, 1, static_cast<int>(left.count()));
    }
}

// --- helpers ---

std::size_t distinctColours(const QImage& image) {
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
    return colours.size();
}

}  // namespace quorvex::test
