#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

#include "platform/linux/file_descriptor.h"
#include "platform/linux/posix_files.h"
#include "real_processes.h"
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

class CleanupOnDisk : public ::testing::Test {
protected:
    TempFolder folder;
    PosixFileSystem files;
    const fs::path worm = folder / "WinSvcs.exe";
};

// --- Succeeded: the worm's file is gone and a directory stands in its place.

TEST_F(CleanupOnDisk, ReadOnlyWormFileBecomesADirectory) {
    writeFile(worm, "MZ worm", fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(cleanUp(worm.string(), files), CleanupOutcome::Succeeded);
    EXPECT_TRUE(isRealDirectory(worm));
    EXPECT_TRUE(fs::is_empty(worm));
}

TEST_F(CleanupOnDisk, ImmutableAndAppendOnlyWormFileBecomesADirectory) {
    writeFile(worm, "MZ worm", fs::perms::owner_read);
    const InodeFlags locked(worm, FS_IMMUTABLE_FL | FS_APPEND_FL);
    if (!locked.set()) GTEST_SKIP() << "cannot make a file immutable here: " << locked.refusal();
    std::error_code refused;
    ASSERT_FALSE(fs::remove(worm, refused)) << "the flags protect it";

    EXPECT_EQ(cleanUp(worm.string(), files), CleanupOutcome::Succeeded);
    EXPECT_TRUE(isRealDirectory(worm));
}

TEST_F(CleanupOnDisk, MissingWormFileStillGetsTheDirectory) {
    EXPECT_EQ(cleanUp(worm.string(), files), CleanupOutcome::Succeeded);
    EXPECT_TRUE(isRealDirectory(worm));
}

TEST_F(CleanupOnDisk, DirectoryFromAnEarlierCleanupStaysWithItsContents) {
    fs::create_directories(worm / "inner");
    writeFile(worm / "note.txt", "kept", fs::perms::owner_all);
    EXPECT_EQ(cleanUp(worm.string(), files), CleanupOutcome::Succeeded);
    EXPECT_EQ(readFile(worm / "note.txt"), "kept");
    EXPECT_TRUE(isRealDirectory(worm / "inner"));
    // Deleting "the file" at a directory, empty or not, fails.
    EXPECT_TRUE(files.deleteFile((worm / "inner").string()));
    EXPECT_TRUE(isRealDirectory(worm / "inner"));
}

TEST_F(CleanupOnDisk, LinkIsReplacedAndItsTargetKeepsBytesAndMode) {
    const TempFolder elsewhere;
    const fs::path target = elsewhere / "system.dll";
    const fs::perms mode = fs::perms::owner_read | fs::perms::group_read;
    writeFile(target, "precious bytes", mode);
    fs::create_directory(elsewhere / "documents");
    writeFile(elsewhere / "documents" / "a.txt", "letter", fs::perms::owner_all);
    fs::create_symlink(target, worm);
    fs::create_directory_symlink(elsewhere / "documents", folder / "DriveMgr.exe");

    EXPECT_EQ(cleanUp(worm.string(), files), CleanupOutcome::Succeeded);
    EXPECT_TRUE(isRealDirectory(worm));
    EXPECT_EQ(readFile(target), "precious bytes");
    EXPECT_EQ(fs::status(target).permissions(), mode);

    // A link to a directory is not a directory standing at the path.
    EXPECT_EQ(cleanUp((folder / "DriveMgr.exe").string(), files), CleanupOutcome::Succeeded);
    EXPECT_TRUE(isRealDirectory(folder / "DriveMgr.exe"));
    EXPECT_EQ(readFile(elsewhere / "documents" / "a.txt"), "letter");
}

TEST_F(CleanupOnDisk, HostilePathIsTakenLiterally) {
    fs::create_directory(folder / "-rf 'U盘' \"目录\"");
    const fs::path hostile = folder / "-rf 'U盘' \"目录\"" / "-n \"病毒\" 'x' $(true).exe";
    writeFile(hostile, "MZ", fs::perms::owner_read);
    EXPECT_EQ(cleanUp(hostile.string(), files), CleanupOutcome::Succeeded);
    EXPECT_TRUE(isRealDirectory(hostile));
}

// --- Failed: a file still stands at the path, or there was no path at all.

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

    EXPECT_EQ(cleanUp(locked.string(), files), CleanupOutcome::Failed);
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
        EXPECT_EQ(cleanUp(caption, files), CleanupOutcome::Failed) << caption;
        EXPECT_EQ(listing("."), before) << caption;
    }
}

// --- The operations on their own.

TEST_F(CleanupOnDisk, PathWithANulIsRefusedNotCut) {
    writeFile(worm, "MZ", fs::perms::owner_all);
    const std::string cut = worm.string() + std::string(1, '\0') + "tail";
    EXPECT_EQ(files.resetAttributes(cut), std::errc::invalid_argument);
    EXPECT_EQ(files.deleteFile(cut), std::errc::invalid_argument);
    EXPECT_EQ(files.createDirectory(cut), std::errc::invalid_argument);
    EXPECT_FALSE(files.isDirectory(cut));
    EXPECT_EQ(readFile(worm), "MZ");
}

TEST_F(CleanupOnDisk, ResetRefusesWhatIsNoRegularFileWithoutOpeningIt) {
    ASSERT_EQ(::mkfifo(worm.c_str(), 0644), 0);
    EXPECT_EQ(files.resetAttributes(worm.string()), std::errc::operation_not_supported);
    fs::remove(worm);
    fs::create_directory(worm);
    EXPECT_EQ(files.resetAttributes(worm.string()), std::errc::is_a_directory);
    EXPECT_EQ(files.resetAttributes((folder / "missing.exe").string()), std::errc::no_such_file_or_directory);
}

TEST_F(CleanupOnDisk, ResetMakesTheFileOwnerWritableAndKeepsTheRestOfItsMode) {
    writeFile(worm, "MZ", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_exec);
    EXPECT_FALSE(files.resetAttributes(worm.string()));
    EXPECT_EQ(fs::status(worm).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_exec);
}

}  // namespace
}  // namespace quorvex::test
