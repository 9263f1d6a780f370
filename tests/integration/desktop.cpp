#include "desktop.h"

#include <QtGui/QImage>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <stdexcept>
#include <thread>
#include <utility>

extern char** environ;

namespace quorvex::test {

namespace {

using Clock = std::chrono::steady_clock;

// Descriptor number a passed descriptor gets in the child.
constexpr int kPassedFd = 3;

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply>
ReplyPtr<Reply> owned(Reply* reply) {
    return ReplyPtr<Reply>(reply, &std::free);
}

std::vector<char*> cStrings(const std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (const std::string& s : strings) result.push_back(const_cast<char*>(s.c_str()));
    result.push_back(nullptr);
    return result;
}

}  // namespace

std::vector<std::string> inheritedEnvironment() {
    std::vector<std::string> result;
    for (char** entry = environ; *entry; ++entry) result.emplace_back(*entry);
    return result;
}

int runCommand(std::vector<std::string> argv, const std::vector<std::string>& environment,
               std::chrono::seconds timeout, const std::filesystem::path& log) {
    argv.insert(argv.begin(), {"timeout", std::to_string(timeout.count())});
    ChildProcess command(argv, environment, {}, log);
    if (!command.waitForExit(timeout + 5s)) return -1;
    return WIFEXITED(*command.status()) ? WEXITSTATUS(*command.status()) : -1;
}

// --- ChildProcess ---

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                           const std::filesystem::path& directory, const std::filesystem::path& log,
                           std::optional<int> passFd) {
    // Everything the child needs is prepared before fork: after it, only
    // async-signal-safe calls.
    std::vector<char*> args = cStrings(argv);
    std::vector<char*> env = cStrings(environment);
    const std::string dir = directory.string();
    const std::string output = log.empty() ? "/dev/null" : log.string();

    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) throw std::system_error(errno, std::generic_category(), "fork");
    if (pid_ > 0) return;

    // Should the test itself die, its desktop and program go with it.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(126);

    if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(126);
    const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    const int in = open("/dev/null", O_RDONLY);
    if (out < 0 || in < 0) _exit(126);
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    int firstToClose = kPassedFd;
    if (passFd) {
        if (dup2(*passFd, kPassedFd) < 0) _exit(126);
        firstToClose = kPassedFd + 1;
    }
    close_range(static_cast<unsigned>(firstToClose), ~0U, 0);
    setpgid(0, 0);  // the test's terminal signals are not the child's
    execvpe(args[0], args.data(), env.data());
    _exit(127);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)), status_(std::exchange(other.status_, std::nullopt)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        stop();
        pid_ = std::exchange(other.pid_, -1);
        status_ = std::exchange(other.status_, std::nullopt);
    }
    return *this;
}

ChildProcess::~ChildProcess() { stop(); }

bool ChildProcess::running() {
    if (pid_ <= 0 || status_) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
    status_ = status;
    return false;
}

bool ChildProcess::waitForExit(std::chrono::milliseconds timeout) {
    return waitUntil([this] { return !running(); }, timeout);
}

void ChildProcess::stop() {
    if (!running()) return;
    kill(pid_, SIGTERM);
    if (waitForExit(2s)) return;
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    status_ = status;
}

// --- XDesktop ---

bool XWindow::hasState(const std::string& name) const {
    return std::ranges::find(states, name) != states.end();
}

XDesktop::XDesktop(bool withWindowManager) {
    // Xvfb picks a free display itself and writes its number to the descriptor.
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
    server_ = ChildProcess({"Xvfb", "-displayfd", std::to_string(kPassedFd), "-noreset", "-nolisten", "tcp",
                            "-screen", "0", "1280x1024x24"},
                           inheritedEnvironment(), {}, {}, pipeFds[1]);
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
    if (number.empty()) throw std::runtime_error("Xvfb did not report a display");
    display_ = ":" + number;

    connection_ = xcb_connect(display_.c_str(), nullptr);
    if (xcb_connection_has_error(connection_)) throw std::runtime_error("cannot connect to " + display_);
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;

    if (withWindowManager) {
        windowManager_ = ChildProcess({"openbox", "--sm-disable"}, environment());
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
}

std::vector<std::string> XDesktop::environment() const {
    std::vector<std::string> result = inheritedEnvironment();
    std::erase_if(result, [](std::string_view entry) {
        return entry.starts_with("DISPLAY=") || entry.starts_with("WAYLAND_DISPLAY=") ||
               entry.starts_with("QT_QPA_PLATFORM=");
    });
    result.push_back("DISPLAY=" + display_);
    result.push_back("QT_QPA_PLATFORM=xcb");
    return result;
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

int XDesktop::run(std::vector<std::string> argv) const { return runCommand(std::move(argv), environment(), 10s); }

// --- helpers ---

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

TemporaryDirectory::TemporaryDirectory(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::system_error(errno, std::generic_category(), "mkdtemp");
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::size_t distinctColours(const QImage& image) {
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
    return colours.size();
}

}  // namespace quorvex::test
