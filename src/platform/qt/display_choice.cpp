#include "platform/qt/display_choice.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstring>

#include "support/environment.h"

namespace quorvex {

namespace {

bool xAnswers(const std::string& display) {
    if (display.empty()) return false;
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const bool answered = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answered;
}

// The compositor's socket: WAYLAND_DISPLAY, relative to XDG_RUNTIME_DIR unless absolute.
bool waylandAnswers(const std::string& display) {
    if (display.empty()) return false;
    const std::string path = display.starts_with('/') ? display : environmentValue("XDG_RUNTIME_DIR") + "/" + display;
    sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool answered = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return answered;
}

}  // namespace

std::optional<PlatformChoice> choosePlatform(std::string_view userChoice, const Displays& displays) {
    if (!userChoice.empty()) return std::nullopt;
    if (displays.xAnswers) return PlatformChoice{"xcb", ""};
    if (displays.waylandAnswers) return PlatformChoice{"wayland", ""};
    std::string tried;
    if (!displays.x.empty()) tried += "DISPLAY=" + displays.x + " ";
    if (!displays.wayland.empty()) tried += "WAYLAND_DISPLAY=" + displays.wayland + " ";
    tried = tried.empty() ? "没有设置 DISPLAY 或 WAYLAND_DISPLAY" : tried + "无法连接";
    return PlatformChoice{"offscreen", "quorvex: 无法打开显示（" + tried + "），窗口不显示，仍在后台防护"};
}

void chooseQtPlatform() {
    Displays displays{.x = environmentValue("DISPLAY"), .wayland = environmentValue("WAYLAND_DISPLAY")};
    displays.xAnswers = xAnswers(displays.x);
    displays.waylandAnswers = !displays.xAnswers && waylandAnswers(displays.wayland);
    const auto choice = choosePlatform(environmentValue("QT_QPA_PLATFORM"), displays);
    if (!choice) return;
    setenv("QT_QPA_PLATFORM", choice->platform.c_str(), 1);
    if (!choice->notice.empty()) std::fprintf(stderr, "%s\n", choice->notice.c_str());
}

}  // namespace quorvex
