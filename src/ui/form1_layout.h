// Form1, the main window: borderless, no taskbar button, hidden until a worm
// is detected. Boxes in twips from the client area's top left corner.
#pragma once

#include <array>

#include "monitor/watch_list.h"
#include "platform/toolkit.h"

namespace quorvex::form1 {

inline constexpr std::size_t kVisibleControls = 5;

// The visible controls, then one poll timer per watch entry, bound by name.
inline constexpr auto kControls = [] {
    std::array<ControlDesc, kVisibleControls + kWatchList.size()> controls{{
        {.name = "Label1", .kind = ControlKind::Label, .box = {3840, 600, 4935, 375}, .tabIndex = 0},
        {.name = "Command1", .kind = ControlKind::Button, .box = {3840, 2400, 1815, 735},
         .text = "立即查杀", .tabIndex = 1},
        {.name = "Command2", .kind = ControlKind::Button, .box = {6360, 2400, 1815, 735},
         .text = "最小化", .tabIndex = 2},
        {.name = "Label2", .kind = ControlKind::Label, .box = {3840, 1320, 4815, 495}, .tabIndex = 3},
        {.name = "Image1", .kind = ControlKind::Picture, .box = {360, 480, 2685, 2685},
         .picture = "logo"},
    }};
    for (std::size_t i = 0; i < kWatchList.size(); ++i)
        controls[kVisibleControls + i] = {.name = kWatchList[i].timer, .kind = ControlKind::Timer,
                                          .intervalMs = kPollIntervalMs, .running = true};
    return controls;
}();

inline constexpr WindowDesc kWindow{
    .name = "Form1",
    .title = "Quorvex",
    .border = Border::None,
    .showInTaskbar = false,
    .centred = true,
    .keyPreview = false,
    .stayOnTop = true,
    .clientWidth = 9150,
    .clientHeight = 4215,
    .icon = "icon",
    .controls = kControls,
};

inline constexpr ControlId Label1 = controlIndex(kControls, "Label1");
inline constexpr ControlId Command1 = controlIndex(kControls, "Command1");
inline constexpr ControlId Command2 = controlIndex(kControls, "Command2");
inline constexpr ControlId Label2 = controlIndex(kControls, "Label2");
inline constexpr ControlId Image1 = controlIndex(kControls, "Image1");

}  // namespace quorvex::form1
