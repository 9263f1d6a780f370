// Feeds arbitrary captions to the cleanup's path walk on the real file
// system (it only opens folders to look, and changes nothing): a name is
// reached only at the end of a complete path whose every component is a
// plain name, and the cleanup of a file it cannot identify touches nothing.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/linux/files.h"
#include "remedy/cleanup.h"

namespace {

using namespace quorvex;

void require(bool condition) {
    if (!condition) std::abort();
}

bool hasOnlyPlainComponents(std::string_view path) {
    if (!path.starts_with('/') || path.find('\0') != std::string_view::npos) return false;
    path.remove_prefix(1);
    for (;;) {
        const std::size_t slash = path.find('/');
        const std::string_view component = path.substr(0, slash);
        if (component.empty() || component == "." || component == "..") return false;
        if (slash == std::string_view::npos) return true;
        path.remove_prefix(slash + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view caption(reinterpret_cast<const char*>(data), size);
    PosixFileSystem files;
    std::error_code error;
    const auto entry = files.reach(caption, error);
    require(!entry || hasOnlyPlainComponents(caption));
    require(bool(entry) != bool(error));
    // No identity was read at detection: whatever stands there stays.
    if (entry && entry->status() && entry->status()->kind != FileStatus::Kind::Directory)
        require(cleanUp(caption, std::nullopt, files) == CleanupOutcome::Failed);
    return 0;
}
