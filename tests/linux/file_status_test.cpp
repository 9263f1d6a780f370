// The identity statx gives a file, on the kernels before unique mount IDs
// as well.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <gtest/gtest.h>

#include "platform/linux/system/file_status.h"

namespace quorvex {
namespace {

// What tells a file system from the next one at the same device.
TEST(FileIdentityFromStatx, TellsTheFileSystemApartOrSaysItCannot) {
    struct statx status {};
    status.stx_dev_major = 7;
    status.stx_ino = 64;
    status.stx_mnt_id = 0x80000256;
    status.stx_btime = {1700000000, 5, 0};
    constexpr unsigned kBasic = STATX_BASIC_STATS;
    const struct {
        const char* what;
        unsigned mask;
        std::optional<std::uint64_t> uuid;
        std::uint64_t volume, birth;
        bool ambiguous;
    } rows[] = {
        {"a unique mount ID", kBasic | kStatxUniqueMountId, 99, 0x80000256, 0, false},
        {"a unique mount ID and a birth time", kBasic | kStatxUniqueMountId | STATX_BTIME, {}, 0x80000256,
         1700000000'000000005, false},
        {"a reusable mount ID and a birth time", kBasic | STATX_MNT_ID | STATX_BTIME, {}, 0x80000256,
         1700000000'000000005, false},
        {"a reusable mount ID and the file system's UUID", kBasic | STATX_MNT_ID, 99, 99, 0, false},
        {"a reusable mount ID alone", kBasic | STATX_MNT_ID, {}, 0, 0, true},
        {"a birth time alone", kBasic | STATX_BTIME, {}, 0, 1700000000'000000005, true},
        {"nothing", kBasic, {}, 0, 0, true},
    };
    for (const auto& row : rows) {
        status.stx_mask = row.mask;
        const FileIdentity identity = identityFrom(status, row.uuid);
        EXPECT_EQ(identity, (FileIdentity{makedev(7, 0), 64, 0, row.volume, row.birth, row.ambiguous})) << row.what;
        EXPECT_EQ(identity.matches(identity), !row.ambiguous) << row.what;
    }
}

}  // namespace
}  // namespace quorvex
