// The worms the program watches for, one row per poll timer of Form1.
#pragma once

#include <array>
#include <string_view>

namespace quorvex {

struct WatchEntry {
    std::string_view timer;        // the poll timer of Form1 that serves the entry
    std::string_view name;         // process image name, compared case-insensitively
    std::string_view killCommand;  // started for each running copy
    std::string_view alertText;    // shown in Label1 on detection
    std::string_view refusedText;  // shown in Label1 instead when a copy could not be ended
};

inline constexpr std::array<WatchEntry, 9> kWatchList{{
    {"Timer1", "winsvcs.exe", "cmd /c taskkill /f /im winsvcs.exe",
     "监测到U盘病毒winsvcs.exe，已为您阻止其运行！",
     "监测到U盘病毒winsvcs.exe，未能阻止其运行！"},
    {"Timer2", "DeviceManager.exe", "cmd /c taskkill /f /im DeviceManager.exe",
     "监测到U盘病毒DeviceManager.exe，已为您阻止其运行！",
     "监测到U盘病毒DeviceManager.exe，未能阻止其运行！"},
    {"Timer3", "WindowsServices.exe", "cmd /c taskkill /f /im WindowsServices.exe",
     "监测到U盘病毒WindowsServices.exe，已为您阻止其运行！",
     "监测到U盘病毒WindowsServices.exe，未能阻止其运行！"},
    {"Timer4", "winrgtt.exe", "cmd /c taskkill /f /im winrgtt.exe",
     "监测到U盘病毒winrgtt.exe，已为您阻止其运行！",
     "监测到U盘病毒winrgtt.exe，未能阻止其运行！"},
    {"Timer5", "winhxvh.exe", "cmd /c taskkill /f /im winhxvh.exe",
     "监测到U盘病毒winhxvh.exe，已为您阻止其运行！",
     "监测到U盘病毒winhxvh.exe，未能阻止其运行！"},
    {"Timer6", "DriveMgr.exe", "cmd /c taskkill /f /im DriveMgr.exe",
     "监测到U盘病毒DriveMgr.exe，已为您阻止其运行！",
     "监测到U盘病毒DriveMgr.exe，未能阻止其运行！"},
    {"Timer7", "VolDriver.exe", "cmd /c taskkill /f /im VolDriver.exe",
     "监测到U盘病毒VolDriver.exe，已为您阻止其运行！",
     "监测到U盘病毒VolDriver.exe，未能阻止其运行！"},
    {"Timer8", "winversvcs.exe", "cmd /c taskkill /f /im winversvcs.exe",
     "监测到U盘病毒winversvcs.exe，已为您阻止其运行！",
     "监测到U盘病毒winversvcs.exe，未能阻止其运行！"},
    {"Timer9", "sysfgdrvs.exe", "cmd /c taskkill /f /im sysfgdrvs.exe",
     "监测到U盘病毒sysfgdrvs.exe，已为您阻止其运行！",
     "监测到U盘病毒sysfgdrvs.exe，未能阻止其运行！"},
}};

inline constexpr int kPollIntervalMs = 100;

// The entry served by the named timer, or nullptr.
constexpr const WatchEntry* watchEntryForTimer(std::string_view timer) {
    for (const WatchEntry& entry : kWatchList)
        if (entry.timer == timer) return &entry;
    return nullptr;
}

}  // namespace quorvex
