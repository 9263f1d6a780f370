#include <gtest/gtest.h>

#include <string>

#include "platform/linux/proc/proc_text.h"
#include "support/path_component.h"

namespace quorvex::proctext {
namespace {

using namespace std::string_view_literals;

// The path of the image that wineImage chooses.
std::optional<std::string_view> wineImagePath(std::string_view maps, std::string_view imageName) {
    const auto image = wineImage(maps, imageName);
    if (!image) return std::nullopt;
    return image->path;
}

TEST(ProcText, DeletedMarkIsTheKernelsSuffixOfALinkTarget) {
    EXPECT_EQ(lastComponent("/tmp/usb drive 中文/WinSvcs.exe"), "WinSvcs.exe");
    EXPECT_EQ(lastComponent("sleep"), "sleep");
    EXPECT_EQ(lastComponent("C:\\u\\x/WinSvcs.exe", kWindowsSeparators), "WinSvcs.exe");
    EXPECT_EQ(lastComponent("C:\\u\\WinSvcs.exe", kWindowsSeparators), "WinSvcs.exe");
    // Whether the mark is cut depends on the file system (a file may really
    // be named so); the text only tells where it is.
    const struct {
        std::string_view target;
        bool marked;
        std::string_view unmarked;
    } rows[] = {
        {"/tmp/u/WindowsServices.exe (deleted)", true, "/tmp/u/WindowsServices.exe"},
        {"/tmp/u/winsvcs.exe (deleted) (deleted)", true, "/tmp/u/winsvcs.exe (deleted)"},
        {"/tmp/u/x (deleted) ", false, "/tmp/u/x (deleted) "},
        {"/tmp/u/x(deleted)", false, "/tmp/u/x(deleted)"},
        {"/tmp/u/WinSvcs.exe", false, "/tmp/u/WinSvcs.exe"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(hasDeletedMark(row.target), row.marked) << row.target;
        EXPECT_EQ(withoutDeletedMark(row.target), row.unmarked) << row.target;
    }
}

TEST(ProcText, ExecutableLinkNamesItsFileOrAProgramRunFromMemory) {
    const struct {
        std::string_view target;
        bool markIsTheKernels;
        std::string_view name;
        std::optional<std::string_view> path;
    } rows[] = {
        {"/media/u/WinSvcs.exe", false, "WinSvcs.exe", "/media/u/WinSvcs.exe"},
        // On a file system unmounted lazily (an overlay too): the path from
        // its own root, which only the file's identity tells from ours.
        {"/WinSvcs.exe", false, "WinSvcs.exe", "/WinSvcs.exe"},
        {"/media/u/WinSvcs.exe (deleted)", true, "WinSvcs.exe", "/media/u/WinSvcs.exe"},
        {"/media/u/WinSvcs.exe (deleted)", false, "WinSvcs.exe (deleted)", "/media/u/WinSvcs.exe (deleted)"},
        // A memfd: its name, and no file.
        {"/memfd:winsvcs.exe (deleted)", true, "winsvcs.exe", std::nullopt},
        {"/memfd:usb/winsvcs.exe (deleted)", true, "winsvcs.exe", std::nullopt},
        {"/memfd:winsvcs.exe (deleted) (deleted)", true, "winsvcs.exe (deleted)", std::nullopt},
        {"/memfd: (deleted)", true, "", std::nullopt},
        // Files really named so.
        {"/memfd:winsvcs.exe (deleted)", false, "memfd:winsvcs.exe (deleted)", "/memfd:winsvcs.exe (deleted)"},
        {"/memfd:winsvcs.exe", false, "memfd:winsvcs.exe", "/memfd:winsvcs.exe"},
        {"/media/memfd:winsvcs.exe (deleted)", true, "memfd:winsvcs.exe", "/media/memfd:winsvcs.exe"},
    };
    for (const auto& row : rows) {
        const LinkedExecutable linked = linkedExecutable(row.target, row.markIsTheKernels);
        EXPECT_EQ(linked.name, row.name) << row.target << " " << row.markIsTheKernels;
        EXPECT_EQ(linked.path, row.path) << row.target << " " << row.markIsTheKernels;
    }
}

TEST(ProcText, RecognisesOnlyTheWineLoaders) {
    for (auto loader : {"wine", "wine64", "wine-preloader", "wine64-preloader"})
        EXPECT_TRUE(isWineLoader(loader)) << loader;
    for (auto other : {"wineserver64", "wine64 ", "Wine64", "winecfg", ""})
        EXPECT_FALSE(isWineLoader(other)) << other;
}

TEST(ProcText, FirstArgumentOfRecordedCommandLines) {
    // Recorded: a Wine-hosted program started by a relative Unix path; Wine
    // pads the rewritten arguments with terminators.
    const auto wine = "usb drive \xe4\xb8\xad\xe6\x96\x87/WindowsServices.exe\0\0\0\0\0\0"sv;
    EXPECT_EQ(firstArgument(wine, false), "usb drive 中文/WindowsServices.exe");
    const auto service = "C:\\windows\\system32\\svchost.exe\0-k\0LocalServiceNetworkRestricted\0"sv;
    EXPECT_EQ(firstArgument(service, false), "C:\\windows\\system32\\svchost.exe");
    // Kernel threads and exited processes have none.
    EXPECT_EQ(firstArgument("", false), "");
    // Arguments rewritten without a terminator are whole unless the read was cut.
    EXPECT_EQ(firstArgument("kworker title", false), "kworker title");
    EXPECT_EQ(firstArgument("an argument cut by the buffer", true), std::nullopt);
    EXPECT_EQ(firstArgument("/bin/a\0tail cut by the buffer"sv, true), "/bin/a");
}

TEST(ProcText, WineImageNameSplitsWindowsAndUnixPaths) {
    EXPECT_EQ(wineImageName("C:\\users\\u\\Desktop\\WinSvcs.exe"), "WinSvcs.exe");
    EXPECT_EQ(wineImageName("Z:\\tmp\\usb drive\\sysfgdrvs.exe"), "sysfgdrvs.exe");
    EXPECT_EQ(wineImageName("/tmp/usb drive 中文/WindowsServices.exe"), "WindowsServices.exe");
    EXPECT_EQ(wineImageName("D:/mixed\\style/DriveMgr.exe"), "DriveMgr.exe");
    EXPECT_EQ(wineImageName("winversvcs.exe"), "winversvcs.exe");
}

TEST(ProcText, WineImageNameRejectsWhatCannotBeAName) {
    EXPECT_EQ(wineImageName(""), "");
    EXPECT_EQ(wineImageName("C:\\folder\\"), "");
    EXPECT_EQ(wineImageName("/tmp/\xff\xfe.exe"), "") << "not UTF-8";
    EXPECT_EQ(wineImageName("/tmp/\xe4\xb8.exe"), "") << "a cut character";
    EXPECT_EQ(wineImageName("/tmp/\xed\xa0\x80.exe"), "") << "a surrogate";
    EXPECT_EQ(wineImageName("/tmp/\xc0\xaf.exe"), "") << "an overlong form";
    EXPECT_EQ(wineImageName("/tmp/" + std::string(252, 'a') + ".exe"), "") << "256 bytes";
    const std::string longest = std::string(251, 'a') + ".exe";
    EXPECT_EQ(wineImageName("/tmp/" + longest), longest);
}

// Recorded lines, shortened after num_threads.
constexpr std::string_view kRunningStat = "4242 (WinSvcs.exe) R 31132 4242 31122 0 -1 4194304 99 0 0 0 0 0 0 0 20 0 1 0 66271";
constexpr std::string_view kKernelStat = "2 (kthreadd) S 0 0 0 0 -1 2129984 0 0 0 0 0 0 0 0 20 0 1 0 25 0";
constexpr std::string_view kWorkerStat =
    "10 (kworker/0:0H-kblockd) I 2 0 0 0 -1 69238880 0 0 0 0 0 0 0 0 0 -20 1 0 12 0";
// The leader called pthread_exit; two threads run on.
constexpr std::string_view kExitedLeaderStat =
    "31221 (WindowsServices) Z 1 31221 31221 0 -1 4227084 204 0 0 0 0 0 0 0 20 0 3 0 66433 0";
// A command name may hold parentheses and spaces.
constexpr std::string_view kZombieStat = "77 (a) (b c)) Z 1 77 77 0 -1 4227084 0 0 0 0 0 0 0 0 20 0 1 0 900 0";

TEST(ProcText, StatGivesTheCommandNameStateKindAndThreads) {
    const struct {
        std::string_view stat;
        std::string_view commandName;
        bool exited, kernelThread;
        long threads;
        std::uint64_t startTime;
    } rows[] = {
        {kRunningStat, "WinSvcs.exe", false, false, 1, 66271},
        {kKernelStat, "kthreadd", false, true, 1, 25},
        {kWorkerStat, "kworker/0:0H-kblockd", false, true, 1, 12},
        {kExitedLeaderStat, "WindowsServices", true, false, 3, 66433},
        {kZombieStat, "a) (b c)", true, false, 1, 900},
        {"78 (gone) X 1 0 0 0 -1 4227084 0 0 0 0 0 0 0 0 20 0 1 0 900 0", "gone", true, false, 1, 900},
        // Killed, on its way out: PF_EXITING, not yet a zombie.
        {"4242 (WinSvcs.exe) R 31132 4242 31122 0 -1 4194308 99 0 0 0 0 0 0 0 20 0 1 0 66271", "WinSvcs.exe",
         true, false, 1, 66271},
    };
    for (const auto& row : rows) {
        const auto fields = parseStat(row.stat);
        ASSERT_TRUE(fields) << row.stat;
        EXPECT_EQ(fields->commandName, row.commandName) << row.stat;
        EXPECT_EQ(fields->exited, row.exited) << row.stat;
        EXPECT_EQ(fields->kernelThread, row.kernelThread) << row.stat;
        EXPECT_EQ(fields->threads, row.threads) << row.stat;
        EXPECT_EQ(startTime(row.stat), row.startTime) << row.stat;
    }
    for (auto cut : {"1 (x) S 1 1 1 0 -1 4194304 99 0 0 0 0 0 0 0 20 0 1 0", "1 (x) S 1 1 1 0 -1 4194304 99 0 0 0 0 0 0 0 20 0 1 0 -3",
                     "1 (x) S 1 1 1 0 -1 4194304 99 0 0 0 0 0 0 0 20 0 1 0 ", "1 (x)"})
        EXPECT_EQ(startTime(cut), std::nullopt) << cut;

    for (auto junk : {"", "4242 WinSvcs.exe S", "4242 (WinSvcs.exe", "4242 (x)", "4242 (x)S 1",
                      "1 )x( S 1 1 1 0 -1 0 0", "1 (x) S 1 1 1 0 -1", "1 (x) S 1 1 1 0 -1  0",
                      "1 (x) SS 1 1 1 0 -1 0 0", "1 (x) S 1 1 1 0 -1 -5 0", "1 (x) S 1 1 1 0 -1 99999999999999999999999 0",
                      "1 (x) S 1 1 1 0 -1 4194304 99 0 0 0 0 0 0 0 20 0", "1 (x) S 1 1 1 0 -1 4194304 99 0 0 0 0 0 0 0 20 0 1",
                      "1 (x) S 1 1 1 0 -1 4194304 99 0 0 0 0 0 0 0 20 0 -1 0"})
        EXPECT_EQ(parseStat(junk), std::nullopt) << junk;
}

TEST(ProcText, StatusGivesTheRealUser) {
    EXPECT_EQ(realUser("Name:\tbash\nUmask:\t0022\nState:\tS (sleeping)\nUid:\t1000\t0\t0\t0\nGid:\t1000\t1000\t1000\t1000\n"),
              1000u) << "the first of real, effective, saved and file-system";
    EXPECT_EQ(realUser("Name:\tUid:\t5\nUid:\t0\t0\t0\t0\n"), 0u) << "the line, not a name that looks like it";
    for (auto junk : {"", "Name:\tx\n", "Name:\tx\nUid:\t\t0\n", "Name:\tx\nUid:\t-1\t0\n", "Name:\tx\nUid:\t99999999999\t0\n"})
        EXPECT_EQ(realUser(junk), std::nullopt) << junk;
}

TEST(ProcText, CommandNameIsExtendedOnlyWhenTheKernelCutIt) {
    // The kernel keeps 15 characters of "WindowsServices.exe".
    EXPECT_EQ(nameFromCommand("WindowsServices", "/media/u/WindowsServices.exe"), "WindowsServices.exe");
    EXPECT_EQ(nameFromCommand("DeviceManager.e", "DeviceManager.exe"), "DeviceManager.exe");
    EXPECT_EQ(nameFromCommand("WindowsServices", "C:\\u\\WindowsServices.exe"), "WindowsServices.exe");
    // argv[0] that does not continue the command name is not taken.
    EXPECT_EQ(nameFromCommand("WindowsServices", "/usr/bin/other"), "WindowsServices");
    EXPECT_EQ(nameFromCommand("WindowsServices", "/x/WindowsServices.exe/"), "WindowsServices");
    EXPECT_EQ(nameFromCommand("WindowsServices", ""), "WindowsServices");
    EXPECT_EQ(nameFromCommand("WindowsServices", "/x/WindowsServices\xff"), "WindowsServices");
    // A shorter command name is whole: argv[0] cannot make it longer.
    EXPECT_EQ(nameFromCommand("WinSvcs.exe", "/x/WinSvcs.exe.bak"), "WinSvcs.exe");
    EXPECT_EQ(nameFromCommand("kthreadd", ""), "kthreadd");
    // A program run from a memfd goes by the memfd's name.
    EXPECT_EQ(nameFromCommand("memfd:winsvcs.e", "winsvcs.exe"), "winsvcs.exe");
    EXPECT_EQ(nameFromCommand("memfd:winsvcs.e", "/x/other"), "winsvcs.e");
    EXPECT_EQ(nameFromCommand("memfd:winrgtt", "winrgtt.exe.bak"), "winrgtt");
    EXPECT_EQ(nameFromCommand("memfd:usb/winsv", "winsvcs.exe"), "winsvcs.exe");
}

// Recorded from a Windows program run by Wine 8 from "/tmp/wexp/usb drive 中文".
constexpr std::string_view kWineMaps =
    "00400000-00401000 r--p 00000000 fe:00 1146886                            /usr/lib/wine/wine64\n"
    "7d004000-7d005000 rw-p 00003000 fe:00 1146886                            /usr/lib/wine/wine64\n"
    "7ff00000-7ffe0000 ---p 00000000 00:00 0 \n"
    "7ffe0000-7ffe1000 r--s 00000000 fe:00 10954138                           "
    "/tmp/wine-GVuAOQ/server-fe00-a72129/tmpmap-0e33cc4b (deleted)\n"
    "aee51000-aee72000 rw-p 00000000 00:00 0                                  [heap]\n"
    "140000000-140001000 r--p 00000000 fe:00 10954136                         "
    "/tmp/wexp/usb drive \xe4\xb8\xad\xe6\x96\x87/WindowsServices.exe\n"
    "140001000-140003000 r-xp 00000000 00:00 0 \n"
    "140004000-140005000 r--p 00002000 fe:00 10954136                         "
    "/tmp/wexp/usb drive \xe4\xb8\xad\xe6\x96\x87/WindowsServices.exe\n"
    "6ffffc5e0000-6ffffc5e1000 r--p 00000000 fe:00 14886891                   "
    "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/ntdll.dll\n";

TEST(ProcText, WineImagePathComesFromTheMappedImage) {
    EXPECT_EQ(wineImagePath(kWineMaps, "WindowsServices.exe"), "/tmp/wexp/usb drive 中文/WindowsServices.exe");
    // The name from a Windows path may differ in letter case from the file.
    EXPECT_EQ(wineImagePath(kWineMaps, "windowsservices.EXE"), "/tmp/wexp/usb drive 中文/WindowsServices.exe");
    EXPECT_EQ(wineImagePath(kWineMaps, "WinSvcs.exe"), std::nullopt);
    EXPECT_EQ(wineImagePath(kWineMaps, "Services.exe"), std::nullopt);
    EXPECT_EQ(wineImagePath(kWineMaps, "[heap]"), std::nullopt);
    EXPECT_EQ(wineImagePath("", "WinSvcs.exe"), std::nullopt);
}

TEST(ProcText, WineImagePathPrefersTheMappingAtTheImageBase) {
    const std::string maps =
        "10000-11000 r--p 00002000 fe:00 7 /media/a/WinSvcs.exe\n"
        "20000-21000 r--p 00000000 fe:00 8 /media/b/winsvcs.exe\n"
        "30000-31000 r--p 00000000 fe:00 7 /media/a/WinSvcs.exe\n";
    EXPECT_EQ(wineImagePath(maps, "WinSvcs.exe"), "/media/b/winsvcs.exe");
    EXPECT_EQ(wineImagePath("10000-11000 r--p 00002000 fe:00 7 /media/a/WinSvcs.exe\n", "WinSvcs.exe"),
              "/media/a/WinSvcs.exe");
    EXPECT_EQ(wineImagePath("10000-11000 r--p 00000000 fe:00 7 /media/a/WinSvcs.exe (deleted)\n",
                            "WinSvcs.exe"),
              "/media/a/WinSvcs.exe");
}

TEST(ProcText, WineImagePathPassesOverJunkAndCutLines) {
    const std::string good = "20000-21000 r--p 00000000 fe:00 8 /media/good/WinSvcs.exe\n";
    const std::string junk[] = {
        "10000-11000 r--p 00000000 fe:00 7 media/relative/WinSvcs.exe\n",
        "10000-11000 r--p 00000000 fe:00 7 /media/\xff\xfe/WinSvcs.exe\n",
        "10000-11000 r--p 00000000 fe:00 7 /media/new\\012line/WinSvcs.exe\n",
        "10000-11000 r--p 00000000 fe:00 7 /" + std::string(4096, 'a') + "/WinSvcs.exe\n",
        "10000-11000 r--p zzzz fe:00 7 /media/bad offset/WinSvcs.exe\n",
        "10000-11000 rp 00000000 fe:00 7 /media/bad perms/WinSvcs.exe\n",
        "10000 r--p 00000000 fe:00 7 /media/no range/WinSvcs.exe\n",
        "10000-11000 r--p 00000000 fe:00 x7 /media/bad inode/WinSvcs.exe\n",
        "/media/only a path/WinSvcs.exe\n",
        "\n",
        // A memfd mapped, and an anonymous mapping the program named.
        "10000-11000 r--p 00000000 00:01 838 /memfd:WinSvcs.exe (deleted)\n",
        "10000-11000 r--p 00000000 00:01 838 /memfd:usb/WinSvcs.exe (deleted)\n",
        "10000-11000 rw-p 00000000 00:00 0 [anon:WinSvcs.exe]\n",
    };
    for (const std::string& line : junk) {
        EXPECT_EQ(wineImagePath(line, "WinSvcs.exe"), std::nullopt) << line.substr(0, 80);
        EXPECT_EQ(wineImagePath(line + good, "WinSvcs.exe"), "/media/good/WinSvcs.exe") << line.substr(0, 80);
    }
    // A last line without its newline was cut.
    EXPECT_EQ(wineImagePath("20000-21000 r--p 00000000 fe:00 8 /media/cut/WinSvcs.exe", "WinSvcs.exe"),
              std::nullopt);
}

}  // namespace
}  // namespace quorvex::proctext
