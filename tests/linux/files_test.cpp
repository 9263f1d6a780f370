#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>

#include "child_process.h"
#include "file_system_contract.h"
#include "platform/linux/files.h"
#include "platform/linux/process_table.h"
#include "platform/linux/system/file_descriptor.h"
#include "platform/linux/system/file_status.h"
#include "remedy/cleanup.h"
#include "temp_folder.h"

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
    const auto status = statusAt(AT_FDCWD, path.c_str());
    return status ? std::optional(status->identity) : std::nullopt;
}

int inodeFlags(const fs::path& path) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    int flags = 0;
    return file && ::ioctl(file.get(), FS_IOC_GETFLAGS, &flags) == 0 ? flags : -1;
}

constexpr fs::perms kReadOnly = fs::perms::owner_read | fs::perms::group_read;

// Restores the current directory when it goes.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const fs::path& path) : previous_(fs::current_path()) { fs::current_path(path); }
    ~CurrentDirectory() { fs::current_path(previous_); }

private:
    fs::path previous_;
};

class PosixDriver final : public FileSystemDriver {
public:
    FileSystem& files() override { return files_; }
    std::string path(std::string_view name) const override {
        return name.empty() ? folder_.path().string() : folder_.path().string() + "/" + std::string(name);
    }
    char separator() const override { return '/'; }
    void enterFolder() override { inside_.emplace(folder_.path()); }

    void makeFile(std::string_view name, std::string_view bytes, bool protect) override {
        writeFile(at(name), std::string(bytes), protect ? kReadOnly : fs::perms::owner_all);
    }
    bool isProtected(std::string_view name) override { return fs::status(at(name)).permissions() == kReadOnly; }
    void makeDirectory(std::string_view name) override { fs::create_directory(at(name)); }
    void hardLink(std::string_view existing, std::string_view name) override {
        fs::create_hard_link(at(existing), at(name));
    }
    std::string linkToFile(std::string_view target, std::string_view name) override {
        fs::create_symlink(at(target), at(name));
        return {};
    }
    std::string linkToFolder(std::string_view target, std::string_view name) override {
        fs::create_directory_symlink(at(target), at(name));
        return {};
    }
    bool makeOther(std::string_view name) override { return ::mkfifo(at(name).c_str(), 0644) == 0; }
    void rename(std::string_view from, std::string_view to) override { fs::rename(at(from), at(to)); }
    void remove(std::string_view name) override { fs::remove(at(name)); }

    std::string readFile(std::string_view name) override { return test::readFile(at(name)); }
    std::optional<FileIdentity> identityOf(std::string_view name) override { return test::identityOf(at(name)); }
    // The next file system gets the same device number; only its mount differs.
    FileIdentity onTheNextVolume(const FileIdentity& identity) override {
        FileIdentity next = identity;
        ++next.volume;
        return next;
    }
    std::optional<FileStatus::Kind> kindAt(std::string_view name) override {
        switch (fs::symlink_status(at(name)).type()) {
            case fs::file_type::not_found: return std::nullopt;
            case fs::file_type::regular: return FileStatus::Kind::File;
            case fs::file_type::directory: return FileStatus::Kind::Directory;
            default: return FileStatus::Kind::Other;
        }
    }
    std::set<std::string> listing(std::string_view name) override {
        std::set<std::string> entries;
        for (const auto& entry : fs::recursive_directory_iterator(at(name))) entries.insert(entry.path());
        return entries;
    }

    std::vector<std::string> incompletePaths() override { return {"./病毒清除成功！"}; }
    std::vector<std::string> completePaths() override { return {"/x.exe", "//x.exe"}; }
    std::error_code malformedPathError() override { return {EINVAL, std::system_category()}; }
    std::error_code notTheExpectedFileError() override {
        return std::make_error_code(std::errc::operation_not_permitted);
    }
    bool readOnlyKeepsEveryName() override { return false; }

private:
    fs::path at(std::string_view name) const { return folder_.path() / std::string(name); }

    TempFolder folder_;
    PosixFileSystem files_;
    std::optional<CurrentDirectory> inside_;
};

std::unique_ptr<FileSystemDriver> makePosixDriver() { return std::make_unique<PosixDriver>(); }

INSTANTIATE_TEST_SUITE_P(Posix, FileSystemContract, testing::Values(&makePosixDriver));

// What only Linux has: inode flags, names that are bytes, mount namespaces,
// the modes of folders.
class CleanupOnDisk : public ::testing::Test {
protected:
    // The cleanup of the worm detected at `path` while its file stood there.
    CleanupOutcome cleanUpDetected(const fs::path& path) { return cleanUp(path.string(), identityOf(path), files); }

    TempFolder folder;
    PosixFileSystem files;
    const fs::path worm = folder / "WinSvcs.exe";
};

TEST_F(CleanupOnDisk, ImmutableAndAppendOnlyWormFileBecomesADirectory) {
    writeFile(worm, "MZ worm", fs::perms::owner_read);
    const InodeFlags locked(worm, FS_IMMUTABLE_FL | FS_APPEND_FL);
    if (!locked.set()) GTEST_SKIP() << "cannot make a file immutable here: " << locked.refusal();
    std::error_code refused;
    ASSERT_FALSE(fs::remove(worm, refused)) << "the flags protect it";

    EXPECT_EQ(cleanUpDetected(worm), CleanupOutcome::Succeeded);
    EXPECT_TRUE(isRealDirectory(worm));
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

// The inode flags forbid removing any name of the file, so its other names
// keep them and the cleanup fails.
TEST_F(CleanupOnDisk, HardLinkedImmutableOrAppendOnlyFileKeepsEveryNameAndItsFlags) {
    const fs::path log = folder / "system.log";
    writeFile(log, "precious", kReadOnly);
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
    EXPECT_EQ(fs::status(log).permissions(), kReadOnly);
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

TEST_F(CleanupOnDisk, ResetMakesTheFileOwnerWritableAndKeepsTheRestOfItsMode) {
    writeFile(worm, "MZ", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_exec);
    std::error_code error;
    const auto entry = files.reach(worm.string(), error);
    ASSERT_TRUE(entry);
    EXPECT_FALSE(entry->resetAttributes(*identityOf(worm)));
    EXPECT_EQ(fs::status(worm).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_exec);
}

}  // namespace
}  // namespace quorvex::test
