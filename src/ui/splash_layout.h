// frmSplash, shown once at start-up: thin dialog frame, no title bar, no
// taskbar button. Controls inside Frame1 are placed relative to the frame.
#pragma once

#include <array>

#include "platform/toolkit.h"

namespace quorvex::splash {

inline constexpr Font kYaHei18{"微软雅黑", 18, kGb2312Charset, kBold};
inline constexpr Font kYaHei10_5{"微软雅黑", 10.5, kGb2312Charset, kBold};
inline constexpr Font kYaHei9{"微软雅黑", 9, kGb2312Charset, kBold};
inline constexpr Font kSongTi12{"宋体", 12, kGb2312Charset, kBold};

inline constexpr std::array<ControlDesc, 10> kControls{{
    {.name = "Frame1", .kind = ControlKind::Frame, .box = {120, 60, 7080, 4050}},
    {.name = "imgLogo", .kind = ControlKind::Picture, .box = {360, 795, 2415, 2385},
     .parent = "Frame1", .picture = "logo", .stretch = true},
    {.name = "lblCompanyProduct", .kind = ControlKind::Label, .box = {3315, 705, 3240, 465},
     .parent = "Frame1", .text = "Ostrelby", .font = kYaHei18, .autoSize = true},
    {.name = "lblProductName", .kind = ControlKind::Label, .box = {3480, 1200, 2925, 465},
     .parent = "Frame1", .text = "Quorvex", .font = kYaHei18, .autoSize = true},
    {.name = "Label1", .kind = ControlKind::Label, .box = {3720, 1920, 2295, 375},
     .parent = "Frame1", .text = "正在保护您的系统安全", .font = kYaHei10_5},
    {.name = "lblVersion", .kind = ControlKind::Label, .box = {5580, 2400, 1170, 240},
     .parent = "Frame1", .text = "版本：3.0", .font = kSongTi12, .align = Align::Right,
     .autoSize = true},
    {.name = "lblCopyright", .kind = ControlKind::Label, .box = {4440, 2880, 2415, 255},
     .parent = "Frame1", .text = "技术支持："},
    {.name = "lblCompany", .kind = ControlKind::Label, .box = {4440, 3240, 2415, 255},
     .parent = "Frame1", .text = "Ostrelby Vandrel"},
    {.name = "Label3", .kind = ControlKind::Label, .box = {4440, 3600, 2535, 375},
     .parent = "Frame1", .text = "病毒库版本：20220517", .font = kYaHei9},
    {.name = "Timer1", .kind = ControlKind::Timer, .intervalMs = 3000, .running = true},
}};

inline constexpr WindowDesc kWindow{
    .name = "frmSplash",
    .title = "",
    .border = Border::FixedDialog,
    .showInTaskbar = false,
    .centred = true,
    .keyPreview = true,
    .clientWidth = 7380,
    .clientHeight = 4245,
    .icon = "icon",
    .controls = kControls,
};

inline constexpr ControlId Frame1 = controlIndex(kControls, "Frame1");
inline constexpr ControlId Timer1 = controlIndex(kControls, "Timer1");

}  // namespace quorvex::splash
