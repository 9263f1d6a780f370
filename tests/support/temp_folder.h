// A fresh folder for a test's files, removed with all it holds.
#pragma once

#include <filesystem>
#include <string>

namespace quorvex::test {

class TempFolder {
public:
    // Made under the system's temporary directory as `prefix` and six random
    // characters; the default name has a space and Chinese characters, as a
    // USB drive's folders often do.
    explicit TempFolder(const std::string& prefix = "quorvex 测试 U盘 ");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace quorvex::test
