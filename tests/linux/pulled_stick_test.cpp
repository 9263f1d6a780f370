// The cleanup of a worm on a stick that is pulled before the click: the whole
// guard on the real Linux backends, with another stick following in the same
// port, mounted at the same place, holding an innocent file of the worm's
// name with the worm's very device and inode numbers; and the cleanup of a
// worm whose file a scanner removed, its stick pulled meanwhile.
#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "child_process.h"
#include "mount_point.h"
#include "platform/linux/files.h"
#include "platform/linux/system/file_descriptor.h"
#include "platform/linux/system/file_status.h"
#include "real_guard.h"
#include "remedy/cleanup.h"
#include "temp_folder.h"
#include "watched_names_lock.h"

namespace quorvex::test {
namespace {

namespace fs = std::filesystem;

// A loop device over an image file: the USB port both sticks are plugged
// into in turn, as sticks plugged one after another get the same device.
class LoopDevice {
public:
    explicit LoopDevice(const fs::path& image) {
        std::ofstream{image};
        fs::resize_file(image, 32 << 20);
        const FileDescriptor backing(::open(image.c_str(), O_RDWR | O_CLOEXEC));
        const FileDescriptor control(::open("/dev/loop-control", O_RDWR | O_CLOEXEC));
        // Another program may take the free device first: then the next.
        for (int attempt = 0; attempt < 8 && backing && control && !device_; ++attempt) {
            const int number = ::ioctl(control.get(), LOOP_CTL_GET_FREE);
            if (number < 0) return;
            path_ = "/dev/loop" + std::to_string(number);
            // Where nothing makes device nodes, the test does.
            ::mknod(path_.c_str(), S_IFBLK | 0600, makedev(7, unsigned(number)));
            FileDescriptor device(::open(path_.c_str(), O_RDWR | O_CLOEXEC));
            loop_config config{};
            config.fd = unsigned(backing.get());
            if (device && ::ioctl(device.get(), LOOP_CONFIGURE, &config) == 0) device_ = std::move(device);
        }
    }
    ~LoopDevice() {
        if (device_) ::ioctl(device_.get(), LOOP_CLR_FD);
    }
    bool attached() const { return bool(device_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    FileDescriptor device_;
};

// The program `name` on the search path or in the system's folders; empty
// when it is not installed.
fs::path program(const std::string& name) {
    std::string folders = ::getenv("PATH") ? ::getenv("PATH") : "";
    folders += ":/usr/sbin:/sbin:/usr/bin:/bin";
    for (std::size_t start = 0, end; start <= folders.size(); start = end + 1) {
        end = std::min(folders.find(':', start), folders.size());
        const fs::path candidate = fs::path(folders.substr(start, end - start)) / name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

// A kind of stick: how to format one afresh, and its FUSE driver with what
// keeps it in the foreground, a child of the test.
struct StickKind {
    std::string name;
    std::vector<std::string> format;  // then the device
    std::string driver;
    std::function<std::vector<std::string>(const std::string& device)> options;  // then device and folder
};

const StickKind kSticks[] = {
    {"NTFS", {"mkntfs", "--quick", "--quiet"}, "ntfs-3g", [](const std::string&) {
         return std::vector<std::string>{"-o", "no_detach"};
     }},
    {"FAT", {"mkfs.vfat"}, "fusefat", [](const std::string& device) {
         return std::vector<std::string>{"-f", "-o", "rw+,blkdev,fsname=" + device};
     }},
    {"exFAT", {"mkfs.exfat"}, "mount.exfat-fuse", [](const std::string&) { return std::vector<std::string>{"-d"}; }},
};

// Test names and messages show a kind by its name.
void PrintTo(const StickKind& kind, std::ostream* out) { *out << kind.name; }

// Why no stick of `kind` can be mounted here; empty when one can.
std::string whyNoStick(const StickKind& kind) {
    if (::geteuid() != 0 || !fs::exists("/dev/fuse") || !fs::exists("/dev/loop-control"))
        return "mounting a stick through FUSE on a loop device needs root, FUSE and loop devices";
    for (const std::string& tool : {kind.format.front(), kind.driver})
        if (program(tool).empty()) return tool + " is not installed";
    return {};
}

// A stick in the port, formatted afresh and mounted at `at` by its driver.
class Stick {
public:
    Stick(const StickKind& kind, const LoopDevice& port, const fs::path& at, const fs::path& log) : at_(at) {
        std::vector<std::string> format = kind.format;
        format.front() = program(format.front());
        format.push_back(port.path());
        if (runCommand(format, std::chrono::seconds(60), {.log = log}) != 0) return;
        std::vector<std::string> arguments = kind.options(port.path());
        arguments.insert(arguments.end(), {port.path(), at.string()});
        driver_ = Child(program(kind.driver), std::move(arguments), {.log = log});
        waitUntil([this] { return isMountPoint(at_) || !driver_.running(); }, std::chrono::seconds(20));
    }
    ~Stick() {
        if (isMountPoint(at_)) ::umount2(at_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return isMountPoint(at_); }
    // Unmounts the stick with `flags` and waits until its file system has
    // gone with its driver: false when either did not happen.
    bool pull(int flags) {
        return ::umount2(at_.c_str(), flags) == 0 && driver_.waitForExit(std::chrono::seconds(20));
    }

private:
    fs::path at_;
    Child driver_;
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct Numbers {
    dev_t device;
    ino_t inode;
    bool operator==(const Numbers&) const = default;
};

Numbers numbersOf(const fs::path& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return {status.st_dev, status.st_ino};
}

enum class Pull { Lazily, Unmounting };
void PrintTo(Pull pull, std::ostream* out) { *out << (pull == Pull::Lazily ? "umount -l" : "umount"); }

class PulledStick : public testing::TestWithParam<std::tuple<StickKind, Pull>> {};

TEST_P(PulledStick, TheNextStickAtTheSamePlaceKeepsItsFileAndTheCleanupFails) {
    const auto& [kind, pull] = GetParam();
    if (const std::string why = whyNoStick(kind); !why.empty()) GTEST_SKIP() << why;
    const WatchedNamesLock machineWide;
    const TempFolder folder;
    const LoopDevice port(folder / "stick.img");
    if (!port.attached()) GTEST_SKIP() << "no loop device could be had";
    const fs::path mountPoint = folder / "U盘";
    fs::create_directory(mountPoint);
    RealGuard guard;
    HeadlessWindow& window = guard.window();

    const WatchEntry& watched = kWatchList[0];
    const fs::path atThePath = mountPoint / std::string(watched.name);
    Stick first(kind, port, mountPoint, folder / "drivers.log");
    ASSERT_TRUE(first.mounted()) << readFile(folder / "drivers.log");
    // Written, not copied: a FAT stick refuses the copy's change of mode.
    std::ofstream(atThePath, std::ios::binary) << readFile(kSleepProgram);
    const Numbers wormNumbers = numbersOf(atThePath);
    const auto worm = startSleeper(atThePath);
    ASSERT_TRUE(guard.pollUntilKilled(*worm)) << "the worm still runs";
    ASSERT_EQ(window.caption(form1::Label1), watched.alertText);
    ASSERT_EQ(window.caption(form1::Label2), atThePath.string());

    // Nothing of the guard keeps the stick busy while the alert is up.
    ASSERT_TRUE(first.pull(pull == Pull::Lazily ? MNT_DETACH : 0)) << "the stick could not go";
    ASSERT_TRUE(window.isVisible() && window.isEnabled(form1::Command1));
    const Stick next(kind, port, mountPoint, folder / "drivers.log");
    ASSERT_TRUE(next.mounted()) << readFile(folder / "drivers.log");
    std::ofstream(atThePath) << "the next stick's own file";
    ASSERT_EQ(numbersOf(atThePath), wormNumbers) << "the next stick's file must look like the worm's";

    window.click(form1::Command1);
    ASSERT_TRUE(guard.toolkit.runPostedTasksUntil([&] { return !window.caption(form1::Label2).starts_with("/"); }));
    EXPECT_EQ(window.caption(form1::Label2), kCleanupFailedText);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(atThePath)));
    EXPECT_EQ(readFile(atThePath), "the next stick's own file");
}

// A scanner removed the worm's file before the click: the directory goes on
// the stick while it is in, and nowhere once it is pulled, its mount point
// left empty on the computer's own disk.
TEST_P(PulledStick, NameAScannerFreedGetsTheDirectoryOnlyOnTheStick) {
    const auto& [kind, pull] = GetParam();
    if (const std::string why = whyNoStick(kind); !why.empty()) GTEST_SKIP() << why;
    const TempFolder folder;
    const LoopDevice port(folder / "stick.img");
    if (!port.attached()) GTEST_SKIP() << "no loop device could be had";
    const fs::path mountPoint = folder / "U盘";
    fs::create_directory(mountPoint);
    Stick stick(kind, port, mountPoint, folder / "drivers.log");
    ASSERT_TRUE(stick.mounted()) << readFile(folder / "drivers.log");
    const fs::path atThePath = mountPoint / "winsvcs.exe";
    std::ofstream(atThePath, std::ios::binary) << "MZ worm";
    const auto detected = statusAt(AT_FDCWD, atThePath.c_str());
    ASSERT_TRUE(detected);
    PosixFileSystem files;

    fs::remove(atThePath);
    EXPECT_EQ(cleanUp(atThePath.string(), detected->identity, files), CleanupOutcome::Succeeded);
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(atThePath)));
    fs::remove(atThePath);

    ASSERT_TRUE(stick.pull(pull == Pull::Lazily ? MNT_DETACH : 0)) << "the stick could not go";
    EXPECT_EQ(cleanUp(atThePath.string(), detected->identity, files), CleanupOutcome::Failed);
    EXPECT_TRUE(fs::is_empty(mountPoint));
}

INSTANTIATE_TEST_SUITE_P(Sticks, PulledStick, testing::Combine(testing::ValuesIn(kSticks),
                                                               testing::Values(Pull::Lazily, Pull::Unmounting)),
                         [](const auto& info) {
                             return std::get<0>(info.param).name +
                                    (std::get<1>(info.param) == Pull::Lazily ? "_PulledLazily" : "_Unmounted");
                         });

}  // namespace
}  // namespace quorvex::test
