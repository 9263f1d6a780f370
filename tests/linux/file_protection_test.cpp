// The order and the bits of the protection reset, on a file system played by
// the test: a FAT stick, an ext4 disk, a file system without inode flags.
#include <linux/fs.h>
#include <linux/magic.h>
#include <linux/msdos_fs.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/linux/system/file_protection.h"

namespace quorvex::test {
namespace {

class PlayedFileSystem final : public ProtectionCalls {
public:
    long type = EXT4_SUPER_MAGIC;
    bool hasInodeFlags = true;
    int inodeFlags = 0;
    __u32 fatAttributes = 0;
    std::vector<std::string> calls;

    std::error_code ioctl(int, unsigned long request, void* value) override {
        if (request == FS_IOC_GETFLAGS || request == FS_IOC_SETFLAGS) {
            calls.push_back(request == FS_IOC_GETFLAGS ? "get flags" : "set flags " + std::to_string(*static_cast<int*>(value)));
            if (!hasInodeFlags) return std::make_error_code(std::errc::inappropriate_io_control_operation);
            if (request == FS_IOC_GETFLAGS) *static_cast<int*>(value) = inodeFlags;
            else inodeFlags = *static_cast<int*>(value);
            return {};
        }
        const bool get = request == FAT_IOCTL_GET_ATTRIBUTES;
        calls.push_back(get ? "get fat" : "set fat " + std::to_string(*static_cast<__u32*>(value)));
        if (get) *static_cast<__u32*>(value) = fatAttributes;
        else fatAttributes = *static_cast<__u32*>(value);
        return {};
    }
    std::error_code fileSystemType(int, long& answer) override {
        answer = type;
        return {};
    }
    std::error_code changeMode(int, mode_t mode) override {
        calls.push_back("chmod " + std::to_string(mode));
        return {};
    }
};

TEST(ProtectionReset, ClearsOnlyWhatProtectsAndTheFlagsFirst) {
    struct Case {
        const char* what;
        long type;
        bool hasInodeFlags;
        int inodeFlags;
        __u32 fatAttributes;
        mode_t mode;
        std::vector<std::string> calls;
        int inodeFlagsAfter;
        __u32 fatAttributesAfter;
    };
    const int kept = FS_NODUMP_FL | FS_NOATIME_FL;
    const Case cases[] = {
        {"immutable, append-only, read-only on ext4", EXT4_SUPER_MAGIC, true,
         FS_IMMUTABLE_FL | FS_APPEND_FL | kept, 0, 0444,
         {"get flags", "set flags " + std::to_string(kept), "chmod " + std::to_string(0644)}, kept, 0},
        {"nothing to clear on ext4", EXT4_SUPER_MAGIC, true, kept, 0, 0755, {"get flags"}, kept, 0},
        {"read-only, hidden, system file on a FAT stick", MSDOS_SUPER_MAGIC, false, 0,
         ATTR_RO | ATTR_HIDDEN | ATTR_SYS | ATTR_ARCH, 0555,
         {"get flags", "get fat", "set fat " + std::to_string(ATTR_ARCH), "chmod " + std::to_string(0755)}, 0,
         ATTR_ARCH},
        {"plain file on a FAT stick", MSDOS_SUPER_MAGIC, false, 0, ATTR_ARCH, 0755, {"get flags", "get fat"}, 0,
         ATTR_ARCH},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PlayedFileSystem played;
        played.type = c.type;
        played.hasInodeFlags = c.hasInodeFlags;
        played.inodeFlags = c.inodeFlags;
        played.fatAttributes = c.fatAttributes;
        EXPECT_FALSE(clearProtection(3, S_IFREG | c.mode, played));
        EXPECT_EQ(played.calls, c.calls);
        EXPECT_EQ(played.inodeFlags, c.inodeFlagsAfter);
        EXPECT_EQ(played.fatAttributes, c.fatAttributesAfter);
    }
}

}  // namespace
}  // namespace quorvex::test
