// The window toolkit the program's windows rest on: windows created from a
// stored description, a few operations on them, and the events they raise.
// Everything happens on the one user-interface thread; only post() may be
// called from other threads.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace quorvex {

// Positions and sizes are in twips (support/geometry.h turns them into pixels).
struct Box {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

enum class Border {
    None,         // no frame, no title bar
    FixedDialog,  // thin frame that cannot be resized; no title bar without a title
};

enum class ControlKind { Label, Button, Picture, Frame, Timer };

enum class Align { Left, Right };

// A font of its own; an empty face means the window's default font.
struct Font {
    std::string_view face;
    double points = 0;
    int charset = 0;
    int weight = 400;
};

inline constexpr int kGb2312Charset = 134;
inline constexpr int kBold = 700;

struct ControlDesc {
    std::string_view name;
    ControlKind kind = ControlKind::Label;
    Box box{};                 // relative to the window's client area or to `parent`
    std::string_view parent;   // name of the enclosing frame; empty for the window
    std::string_view text;     // caption of a label or button
    Font font{};
    int tabIndex = -1;         // -1: no tab position
    Align align = Align::Left;
    bool autoSize = false;     // label grows or shrinks to its text
    std::string_view picture;  // asset name of a picture ("logo")
    bool stretch = false;      // picture fills its box instead of natural size
    bool enabled = true;
    int intervalMs = 0;        // timers
    bool running = false;      // timers: counting from creation
};

struct WindowDesc {
    std::string_view name;
    std::string_view title;
    Border border = Border::None;
    bool showInTaskbar = false;
    bool centred = true;
    bool keyPreview = false;
    // Above other programs' windows while shown, even one the user activates
    // later, and shown without taking the keyboard from the window that has
    // it: the user may be typing there.
    bool stayOnTop = false;
    int clientWidth = 0;   // twips
    int clientHeight = 0;  // twips
    std::string_view icon; // asset name
    std::span<const ControlDesc> controls;
};

// Index of a control in its window's description.
using ControlId = std::size_t;

constexpr ControlId controlIndex(std::span<const ControlDesc> controls, std::string_view name) {
    ControlId i = 0;
    while (i < controls.size() && controls[i].name != name) ++i;
    // A compile-time error when used in a constant expression. Conditional,
    // as GCC 10 rejects a constexpr function that ends in a throw.
    if (i == controls.size()) throw "no control of that name";
    return i;
}

// A control's box relative to the window's client area: a control inside a
// frame is described from the frame's corner.
constexpr Box boxInWindow(std::span<const ControlDesc> controls, ControlId id) {
    Box box = controls[id].box;
    if (!controls[id].parent.empty()) {
        const Box& frame = controls[controlIndex(controls, controls[id].parent)].box;
        box.left += frame.left;
        box.top += frame.top;
    }
    return box;
}

// Mouse buttons held, as carried by the mouse-move event.
enum MouseButton : int { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };

// What a window's owner hears from it. Exceptions that escape a handler end
// the program with the toolkit's standard error report.
//
// - click: a button or a frame the user clicks while the window is visible
//   and the control enabled. Labels and pictures raise no clicks; a press on
//   a control inside a frame is that control's, not the frame's, and one
//   beside the frame is the window's.
// - mouseMove: a move over the window's own surface, with the buttons held
//   (a MouseButton set). Moves over a control are that control's.
// - keyPress: a key that types a character, with the code Windows' character
//   message carries; keys that type none (Shift alone, arrows, function keys)
//   raise nothing. With key preview the window hears the key before its
//   focused control does; without, only while no control has the focus.
// - timer: once per interval while the timer is enabled. A handler that takes
//   longer than the interval leaves no backlog: the next event comes at once,
//   the ones after it at the interval again.
//   Input that arrives while several timers are due waits for one timer
//   event at most, not for all of them.
// - A close request from the user (Alt+F4, the system menu, the window
//   manager's close button) hides the window as hide() does; it raises no
//   event and the window stays loaded. An end request from outside the
//   program (another program's polite close, the end of the user's session
//   at log-off or shut-down) ends the message loop; the end of a session is
//   never refused or held up.
class WindowEvents {
public:
    virtual void load() {}
    virtual void mouseMove(int /*buttons*/) {}
    virtual void keyPress(int /*charCode*/) {}
    virtual void click(ControlId) {}
    virtual void timer(ControlId) {}

protected:
    ~WindowEvents() = default;
};

class Window {
public:
    virtual ~Window() = default;

    // Shows the window modeless and without owner. A window the screens show
    // whole stays where it is, visible or not; one they do not (they changed
    // since it was placed: a smaller resolution, a screen gone) first moves
    // back into view, centred as a centred window is at creation. A
    // stay-on-top window comes above every other window.
    virtual void show() = 0;
    // Hides the window; it stays loaded and its timers keep running.
    virtual void hide() = 0;
    // Destroys the window with its controls and timers; no event of it runs afterwards,
    // and every other operation on it does nothing.
    virtual void unload() = 0;

    virtual bool isVisible() const = 0;
    virtual bool isLoaded() const = 0;

    // A label's or button's text: exactly the bytes last given to setCaption
    // (or the description's text), valid UTF-8 or not. The screen shows it as
    // plain text, never as markup, and may substitute what it cannot show.
    // Empty once unloaded.
    virtual std::string caption(ControlId) const = 0;
    virtual void setCaption(ControlId, std::string_view text) = 0;
    // A control takes clicks and keys while enabled. A timer runs while enabled:
    // enabling a stopped timer starts its interval anew, enabling a running one
    // changes nothing, and no event of a disabled timer runs afterwards, even
    // one already due. False once unloaded.
    virtual bool isEnabled(ControlId) const = 0;
    virtual void setEnabled(ControlId, bool) = 0;

    // Starts the user's move of the window as if its title bar had been grabbed;
    // returns when the platform's move ends. May throw; a drag that fails
    // leaves the window where it is.
    virtual void dragByTitleBar() = 0;
};

class Toolkit {
public:
    virtual ~Toolkit() = default;

    // Creates a window from its description; its running timers start counting now.
    // The window keeps referring to the description, the texts it views and
    // `events`: all must outlive the window (static descriptions do).
    virtual std::unique_ptr<Window> create(const WindowDesc&, WindowEvents&) = 0;
    // Raises the start-up window's load event once, then runs the message loop.
    // `startup` must come from this toolkit's create().
    virtual int run(Window& startup) = 0;
    // Handles every event already waiting, then returns.
    virtual void processPendingEvents() = 0;
    // Runs `task` once on the user-interface thread, from the message loop,
    // after every task posted before it, and like an event handler: a failure
    // escaping it ends the program with the standard error report. Callable
    // from any thread while the toolkit exists; tasks still waiting when the
    // program ends are dropped.
    virtual void post(std::function<void()> task) = 0;
};

}  // namespace quorvex
