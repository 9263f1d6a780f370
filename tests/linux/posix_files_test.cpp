#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>

#include "platform/linux/file_descriptor.h"
#include "platform/linux/posix_files.h"
#include "platform/linux/proc_table.h"
#include "child_process.h"
#include "temp_folder.h"
#include "remedy/cleanup.h"

namespace quorvex::test {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& bytes, fs::perms mode) {
    std::ofstream(path, std::ios::binary) << bytes;
    fs::permissions(path, mode);
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool isRealDirectory(const fs::path& path) { return fs::is_directory(fs::symlink_status(path)); }

// Sets inode flags on a file or directory for the length of a test, so that
// the temporary folder can still be removed afterwards.
class InodeFlags {
public:
    InodeFlags(const fs::path& path, int flags) : path_(path) {
        const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        int current = 0;
        set_ = file && ::ioctl(file.get(), FS_IOC_GETFLAGS, &current) == 0 &&
               (current |= flags, ::ioctl(file.get(), FS_IOC_SETFLAGS, &current) == 0);
        error_ = set_ ? 0 : errno;
        flags_ = flags;
    }
    ~InodeFlags() {
        const FileDescriptor file(::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        int current = 0;
        if (file && ::ioctl(file.get(), FS_IOC_GETFLAGS, &current) == 0 && (current & flags_)) {
            current &= ~flags_;
            ::ioctl(file.get(), FS_IOC_SETFLAGS, &current);
        }
    }
    bool set() const { return set_; }
    std::string refusal() const { return std::error_code(error_, std::system_category()).message(); }

private:
    fs::path path_;
    int flags_ = 0;
    bool set_ = false;
    int error_ = 0;
};

// The file the kernel names at `path` now, as a detection would record it.
std::optional<FileIdentity> identityOf(const fs::path& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return std::nullopt;
    return FileIdentity{std::uint64_t(status.st_dev), std::uint64_t(status.st_ino)};
}

int inodeFlags(const fs::path& path) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    int flags = 0;
    return file && ::ioctl(file.get(), FS_IOC_GETFLAGS, &flags) == 0 ? flags : -1;
}

class CleanupOnDisk : public ::testing::Test {
protected:
    // The cleanup of the worm detected at `path` while its file stood there.
    CleanupOutcome cleanUpDetected(const fs::path& path) { return cleanUp(path.string(), identityOf(path), files); }

    TempFolder folder;
    PosixFileSystem files;
    const fs::path worm = folder / "WinSvcs.exe";
};

// --- Succeeded: the worm's file is gone and a directory stands in its place.

TEST_F(CleanupOnDisk, ReadOnlyWormFileBecomesADirectory) {
    writeFile(worm, "MZ worm", fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(cleanUpDetected(worm), CleanupOutcome::Succeeded);
    EXPECT_TRUE(isRealDirectory(worm));
    EXPECT_TRUE(fs::is_empty(worm));
}

TEST_F(CleanupOnDisk, ImmutableAndAppendOnlyWormFileBecomesADirectory) {
    writeFile(worm, "MZ worm", fs::perms::owner_read);
    const InodeFlags locked(worm, FS_IMMUTABLE_FL | FS_APPEND_FL);
    if (!locked.set()) GTEST_SKIP() << "cannot make a file immutable here: " << locked.refusal();
    std::error_code refused;
    ASSERT_FALSE(fs::remove(worm, refused)) << "the flags protect it";

    EXPECT_EQ(cleanUpDetected(worm), CleanupOutcome::Succeeded);
    EXPECT_TRUE(isRealDirectory(worm));
}

TEST_F(CleanupOnDisk, DirectoryFromAnEarlierCleanupStaysWithItsContents) {
    writeFile(worm, "MZ worm", fs::perms::owner_all);
    const auto detected = identityOf(worm);
    ASSERT_EQ(cleanUp(worm.string(), detected, files), CleanupOutcome::Succeeded);
    fs::create_directories(worm / "inner");
    writeFile(worm / "note.txt", "kept", fs::perms::owner_all);

    EXPECT_EQ(cleanUp(worm.string(), detected, files), CleanupOutcome::Succeeded);
    EXPECT_EQ(readFile(worm / "note.txt"), "kept");
    EXPECT_TRUE(isRealDirectory(worm / "inner"));
}

TEST_F(CleanupOnDisk, HostilePathIsTakenLiterally) {
    fs::create_directory(folder / "-rf 'U盘' \"目录\"");
    const fs::path hostile = folder / "-rf 'U盘' \"目录\"" / "-n \"病毒\" 'x' $(true).exe";
    writeFile(hostile, "MZ", fs::perms::owner_read);
    EXPECT_EQ(cleanUpDetected(hostile), CleanupOutcome::Succeeded);
    EXPECT_TRUE(isRealDirectory(hostile));
}

// A folder name in GBK, as archives from Windows and old sticks bring them,
// is no UTF-8; a display shows each stray byte as U+FFFD.
TEST_F(CleanupOnDisk, FolderNameThatIsNoUtf8IsCleanedAtItsExactBytes) {
    const std::string gbk = "\xD0\xC2\xBD\xA8";  // "新建" in GBK
    const std::string replacement = "\xEF\xBF\xBD";
    fs::create_directory(folder.path() / gbk);
    fs::create_directory(folder.path() / (replacement + replacement + replacement + replacement));
    const fs::path real = folder.path() / gbk / "winsvcs.exe";
    const fs::path lookAlike = folder.path() / (replacement + replacement + replacement + replacement) / "winsvcs.exe";
    writeFile(real, "MZ worm", fs::perms::owner_all);
    writeFile(lookAlike, "victim", fs::perms::owner_all);

    EXPECT_EQ(cleanUpDetected(real), CleanupOutcome::Succeeded);
    EXPECT_TRUE(isRealDirectory(real));
    EXPECT_EQ(readFile(lookAlike), "victim");
}

// A file with other names keeps its protection: only this name goes.
TEST_F(CleanupOnDisk, HardLinkedFileKeepsItsFlagsAndMode) {
    const fs::path log = folder / "system.log";
    writeFile(log, "precious", fs::perms::owner_read | fs::perms::group_read);
    fs::create_hard_link(log, worm);
    EXPECT_EQ(cleanUpDetected(worm), CleanupOutcome::Succeeded);
    EXPECT_TRUE(isRealDirectory(worm));
    EXPECT_EQ(fs::status(log).permissions(), fs::perms::owner_read | fs::perms::group_read);

    for (const int flag : {FS_IMMUTABLE_FL, FS_APPEND_FL}) {
        SCOPED_TRACE(flag);
        const fs::path name = folder / ("linked-" + std::to_string(flag) + ".exe");
        fs::create_hard_link(log, name);
        const InodeFlags locked(log, flag);
        if (!locked.set()) GTEST_SKIP() << "cannot set inode flags here: " << locked.refusal();
        EXPECT_EQ(cleanUpDetected(name), CleanupOutcome::Failed) << "the flag forbids removing any name";
        EXPECT_EQ(inodeFlags(log) & flag, flag);
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(name)));
    }
}

// --- Failed: whatever stands at the path is not the worm's file, so it stays.

TEST_F(CleanupOnDisk, WhatIsNotTheWormsFileIsLeftAlone) {
    const TempFolder elsewhere;
    const fs::path target = elsewhere / "system.dll";
    writeFile(target, "precious bytes", fs::perms::owner_read | fs::perms::group_read);
    writeFile(worm, "MZ worm", fs::perms::owner_all);
    const auto detected = identityOf(worm);

    struct Case {
        const char* what;
        std::function<void()> replaceTheWorm;
    };
    const Case cases[] = {
        {"nothing", [&] {}},
        {"another file", [&] { writeFile(worm, "someone's program", fs::perms::owner_read); }},
        {"a link to the worm's own file", [&] { fs::create_symlink(folder / "kept.exe", worm); }},
        {"a link elsewhere", [&] { fs::create_symlink(target, worm); }},
        {"a pipe", [&] { ASSERT_EQ(::mkfifo(worm.c_str(), 0644), 0); }},
    };
    fs::rename(worm, folder / "kept.exe");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.replaceTheWorm();
        const auto before = fs::symlink_status(worm).type();
        EXPECT_EQ(cleanUp(worm.string(), detected, files), CleanupOutcome::Failed);
        EXPECT_EQ(fs::symlink_status(worm).type(), before);
        fs::remove(worm);
    }
    EXPECT_EQ(readFile(folder / "kept.exe"), "MZ worm");
    EXPECT_EQ(readFile(target), "precious bytes");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::group_read);
}

// A worm can swap a folder on the way for a link between the detection and
// the click; the cleanup then touches nothing, even where the link leads back
// to the worm's own file.
TEST_F(CleanupOnDisk, LinkAmongTheFoldersTouchesNothing) {
    const fs::path drive = folder / "drive";
    const fs::path victims = folder / "victims";
    fs::create_directory(drive);
    fs::create_directory(victims);
    const fs::path file = drive / "WinSvcs.exe";
    writeFile(file, "MZ worm", fs::perms::owner_all);
    writeFile(victims / "WinSvcs.exe", "victim", fs::perms::owner_read);
    const auto detected = identityOf(file);

    fs::rename(drive, folder / "moved");
    fs::create_directory_symlink(victims, drive);
    EXPECT_EQ(cleanUp(file.string(), detected, files), CleanupOutcome::Failed);
    EXPECT_EQ(readFile(victims / "WinSvcs.exe"), "victim");

    fs::remove(drive);
    fs::create_directory_symlink(folder / "moved", drive);
    EXPECT_EQ(cleanUp(file.string(), detected, files), CleanupOutcome::Failed);
    EXPECT_EQ(readFile(folder / "moved" / "WinSvcs.exe"), "MZ worm");
    EXPECT_TRUE(fs::is_symlink(drive));
}

// A worm in a mount namespace of its own (a container, a sandboxed
// application) is named by a path that means another file in ours.
TEST_F(CleanupOnDisk, WormInAnotherMountNamespaceLeavesTheLookAlikeHere) {
    if (::geteuid() != 0) GTEST_SKIP() << "a private mount needs root";
    const fs::path drive = folder / "drive";
    fs::create_directory(drive);
    const std::string name = uniqueImageName("winsvcs");
    writeFile(drive / name, "look-alike", fs::perms::owner_all);
    const std::string script = "mount -t tmpfs none \"$1\" && cp /bin/sleep \"$1/$2\" && exec \"$1/$2\" 600";
    Child worm("/usr/bin/unshare", {"-m", "--propagation", "private", "sh", "-c", script, "sh", drive.string(), name});

    std::optional<ExecutableFile> seen;
    const ProcProcessTable table;
    waitUntil(
        [&] {
            table.visitProcess(worm.pid(), [&](const ProcProcessRecord& process) {
                if (process.name() == name) seen = process.executable();
            });
            return seen || !worm.running();
        },
        std::chrono::seconds(20));
    ASSERT_TRUE(seen) << "the worm did not start in its own namespace";
    ASSERT_EQ(seen->path, (drive / name).string());
    ASSERT_TRUE(seen->identity);

    EXPECT_EQ(cleanUp(seen->path, seen->identity, files), CleanupOutcome::Failed);
    EXPECT_EQ(readFile(drive / name), "look-alike");
}

TEST_F(CleanupOnDisk, UnwritableParentLeavesTheFileAndFails) {
    const fs::path drive = folder / "drive";
    fs::create_directory(drive);
    const fs::path locked = drive / "WinSvcs.exe";
    writeFile(locked, "MZ worm", fs::perms::owner_all);
    // Root ignores permission bits; an immutable directory stops it too.
    std::optional<InodeFlags> immutable;
    if (::geteuid() == 0) {
        immutable.emplace(drive, FS_IMMUTABLE_FL);
        if (!immutable->set()) GTEST_SKIP() << "cannot make a directory immutable here: " << immutable->refusal();
    } else {
        fs::permissions(drive, fs::perms::owner_read | fs::perms::owner_exec);
    }

    EXPECT_EQ(cleanUpDetected(locked), CleanupOutcome::Failed);
    immutable.reset();
    fs::permissions(drive, fs::perms::owner_all);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(locked)));
    EXPECT_EQ(readFile(locked), "MZ worm");
}

// Restores the current directory when the test ends.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const fs::path& path) : previous_(fs::current_path()) { fs::current_path(path); }
    ~CurrentDirectory() { fs::current_path(previous_); }

private:
    fs::path previous_;
};

std::set<fs::path> listing(const fs::path& root) {
    std::set<fs::path> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) entries.insert(entry.path());
    return entries;
}

TEST_F(CleanupOnDisk, TextThatIsNoPathChangesNothing) {
    const CurrentDirectory inside(folder.path());
    writeFile("winsvcs.exe", "MZ", fs::perms::owner_all);
    fs::create_directory("sub");
    writeFile("sub/x.exe", "MZ", fs::perms::owner_all);
    const auto before = listing(".");

    for (std::string_view caption : {std::string_view{}, kCleanupSucceededText, kCleanupFailedText,
                                     std::string_view{"winsvcs.exe"}, std::string_view{"sub/x.exe"},
                                     std::string_view{"./病毒清除成功！"}}) {
        EXPECT_EQ(cleanUp(caption, identityOf("winsvcs.exe"), files), CleanupOutcome::Failed) << caption;
        EXPECT_EQ(listing("."), before) << caption;
    }
}

// --- The walk and the steps on their own.

TEST_F(CleanupOnDisk, OnlyPlainComponentsAreWalked) {
    writeFile(worm, "MZ", fs::perms::owner_all);
    const std::string path = worm.string();
    const std::string parent = folder.path().string();
    for (const std::string& refused :
         {path + std::string(1, '\0') + "tail", parent + "/./WinSvcs.exe", parent + "/../" +
          folder.path().filename().string() + "/WinSvcs.exe", parent + "//WinSvcs.exe", parent + "/", std::string("/")}) {
        std::error_code error;
        EXPECT_FALSE(files.reach(refused, error)) << refused;
        EXPECT_EQ(error, std::errc::invalid_argument) << refused;
    }
    std::error_code error;
    const auto entry = files.reach(path, error);
    ASSERT_TRUE(entry) << error.message();
    EXPECT_EQ(entry->status()->identity, identityOf(worm));
}

TEST_F(CleanupOnDisk, ResetMakesTheFileOwnerWritableAndKeepsTheRestOfItsMode) {
    writeFile(worm, "MZ", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_exec);
    std::error_code error;
    const auto entry = files.reach(worm.string(), error);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->resetAttributes(FileIdentity{1, 2}), std::errc::operation_not_permitted) << "not that file";
    EXPECT_FALSE(entry->resetAttributes(*identityOf(worm)));
    EXPECT_EQ(fs::status(worm).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_exec);
}

}  // namespace
}  // namespace quorvex::test
