// Feeds arbitrary captions to the cleanup with the real POSIX path rule and a
// file system that only records: a caption that is no complete path must
// reach no file operation, and a path that does must reach each of them
// unchanged, in order.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/linux/posix_files.h"
#include "remedy/cleanup.h"

namespace {

using namespace quorvex;

class RecordingFiles final : public FileSystem {
public:
    std::vector<std::string> calls;
    bool isAbsolutePath(std::string_view path) const override { return posix_.isAbsolutePath(path); }
    std::error_code resetAttributes(std::string_view path) override { return record('r', path); }
    std::error_code deleteFile(std::string_view path) override { return record('d', path); }
    std::error_code createDirectory(std::string_view path) override { return record('m', path); }
    bool isDirectory(std::string_view path) const override { return path.size() % 2 == 0; }

private:
    std::error_code record(char what, std::string_view path) {
        calls.push_back(what + std::string(path));
        return std::make_error_code(std::errc::permission_denied);
    }
    PosixFileSystem posix_;
};

void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view caption(reinterpret_cast<const char*>(data), size);
    RecordingFiles files;
    const CleanupOutcome outcome = cleanUp(caption, files);
    if (!caption.starts_with('/')) {
        require(files.calls.empty() && outcome == CleanupOutcome::Failed);
        return 0;
    }
    const std::string path(caption);
    require(files.calls == std::vector<std::string>{'r' + path, 'd' + path, 'm' + path});
    require((outcome == CleanupOutcome::Succeeded) == (caption.size() % 2 == 0));
    return 0;
}
