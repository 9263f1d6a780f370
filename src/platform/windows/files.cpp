#include "platform/windows/files.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/windows/system/unique_handle.h"
#include "platform/windows/system/wide_text.h"
#include "platform/windows/system/win32_error.h"
#include "platform/windows/system/wow64_redirection.h"
#include "support/path_component.h"

namespace quorvex {

namespace {

constexpr bool isSeparator(char c) { return c == '\\' || c == '/'; }
constexpr bool isDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::error_code refusal() { return win32Error(ERROR_ACCESS_DENIED); }

// Opens a file or folder as itself: no reparse point is followed, and no
// redirector turns System32 into another folder.
UniqueHandle openAsItself(const std::wstring& path, DWORD access, DWORD sharing) {
    const Wow64RedirectionOff asNamed;
    const HANDLE handle = CreateFileW(path.c_str(), access, sharing, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// FILE_ID_INFO and its class, which the headers show only to programs that
// need Windows 8; the call itself is there from Vista on.
struct FileIdInformation {
    ULONGLONG volumeSerialNumber;
    BYTE fileId[16];
};
constexpr auto kFileIdInfo = FILE_INFO_BY_HANDLE_CLASS(18);

// FILE_DISPOSITION_INFO_EX, its class and flags, which the headers show only
// to programs that need Windows 10; older systems refuse the class.
struct FileDispositionInfoEx {
    DWORD flags;
};
constexpr auto kFileDispositionInfoEx = FILE_INFO_BY_HANDLE_CLASS(21);
constexpr DWORD kDispositionDelete = 0x1, kDispositionPosixSemantics = 0x2;

// The volume's serial number and the file's ID: 128 bits where the system
// has them (Windows 8 and later), else the 64-bit index. A volume without a
// serial number cannot be told from another.
FileIdentity identityOfHandle(HANDLE file, const BY_HANDLE_FILE_INFORMATION& information) {
    FileIdentity identity;
    if (FileIdInformation id{}; GetFileInformationByHandleEx(file, kFileIdInfo, &id, sizeof id)) {
        std::memcpy(&identity.inode, id.fileId, sizeof identity.inode);
        std::memcpy(&identity.inodeHigh, id.fileId + sizeof identity.inode, sizeof identity.inodeHigh);
        identity.device = id.volumeSerialNumber;
    } else {
        identity.inode = (std::uint64_t(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
        identity.device = information.dwVolumeSerialNumber;
    }
    identity.ambiguous = identity.device == 0;
    return identity;
}

std::optional<FileStatus> statusOfHandle(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information)) return std::nullopt;
    const DWORD attributes = information.dwFileAttributes;
    const FileStatus::Kind kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? FileStatus::Kind::Other
                                  : (attributes & FILE_ATTRIBUTE_DIRECTORY)   ? FileStatus::Kind::Directory
                                                                              : FileStatus::Kind::File;
    return FileStatus{kind, identityOfHandle(file, information), information.nNumberOfLinks};
}

VolumeIdentity volumeOfHandle(HANDLE folder) {
    const auto status = statusOfHandle(folder);
    if (!status) return {};
    return {status->identity.device, status->identity.volume, status->identity.ambiguous};
}

// A folder on the way, held so that it cannot be renamed, moved or removed:
// sharing modes bind only opens that ask for data, so it is opened to be
// traversed (or, where that is refused, listed), without delete sharing.
UniqueHandle holdFolder(const std::wstring& path) {
    constexpr DWORD kSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
    UniqueHandle folder = openAsItself(path, FILE_TRAVERSE | FILE_READ_ATTRIBUTES, kSharing);
    return folder ? std::move(folder) : openAsItself(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, kSharing);
}

class Win32FolderEntry final : public FolderEntry {
public:
    Win32FolderEntry(std::vector<UniqueHandle> folders, std::wstring path)
        : folders_(std::move(folders)), path_(std::move(path)) {}

    std::optional<FileStatus> status() const override { return statusAt(path_); }

    std::error_code resetAttributes(const FileIdentity& expected) override {
        const UniqueHandle file = openExpected(FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, expected);
        if (!file) return lastOrRefusal();
        FILE_BASIC_INFO basic{};  // zero times: left as they are
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        return SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof basic) ? std::error_code{}
                                                                                          : lastWin32Error();
    }

    // Deleted through a handle to the very file; a running image refuses the
    // DELETE access. Where the system can (Windows 10 1709 and later, on
    // NTFS) the name goes at once, even while a scanner or a preview holds
    // the file open, so that the directory can take it; elsewhere the file
    // goes when the last handle to it closes.
    std::error_code deleteFile(const FileIdentity& expected) override {
        const UniqueHandle file = openExpected(DELETE | FILE_READ_ATTRIBUTES, expected);
        if (!file) return lastOrRefusal();
        FileDispositionInfoEx atOnce{kDispositionDelete | kDispositionPosixSemantics};
        if (SetFileInformationByHandle(file.get(), kFileDispositionInfoEx, &atOnce, sizeof atOnce)) return {};
        FILE_DISPOSITION_INFO disposition{TRUE};
        return SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition)
                   ? std::error_code{}
                   : lastWin32Error();
    }

    std::error_code createDirectory() override {
        const Wow64RedirectionOff asNamed;
        return CreateDirectoryW(path_.c_str(), nullptr) ? std::error_code{} : lastWin32Error();
    }

    VolumeIdentity folderVolume() const override {
        if (!folders_.empty()) return volumeOfHandle(folders_.back().get());
        // A name in the root, which is not held: no root can be renamed.
        const std::wstring rootFolder = path_.substr(0, path_.rfind(L'\\') + 1);
        const UniqueHandle root = openAsItself(rootFolder, FILE_READ_ATTRIBUTES, kShareAll);
        return root ? volumeOfHandle(root.get()) : VolumeIdentity{};
    }

private:
    // The file at the name opened with `access`, or nothing (with the last
    // error set) when it cannot be opened or is not `expected`.
    UniqueHandle openExpected(DWORD access, const FileIdentity& expected) const {
        UniqueHandle file = openAsItself(path_, access, kShareAll);
        if (!file) return nullptr;
        const auto status = statusOfHandle(file.get());
        if (!status || status->kind != FileStatus::Kind::File || !expected.matches(status->identity)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        return file;
    }

    static std::error_code lastOrRefusal() {
        const std::error_code error = lastWin32Error();
        return error ? error : refusal();
    }

    std::vector<UniqueHandle> folders_;
    std::wstring path_;
};

// Where the walk starts: "C:\" or "\\server\share\" (empty when the path is
// neither), and the length of the path it takes up.
std::size_t rootLength(std::string_view path) {
    if (path.size() >= 3 && isDriveLetter(path[0]) && path[1] == ':' && isSeparator(path[2])) return 3;
    if (path.size() < 2 || !isSeparator(path[0]) || !isSeparator(path[1])) return 0;
    // UNC: a server name, a separator, a share name, a separator.
    const std::size_t server = path.find_first_of("\\/", 2);
    if (server == 2 || server == std::string_view::npos) return 0;
    const std::size_t share = path.find_first_of("\\/", server + 1);
    if (share == server + 1 || share == std::string_view::npos) return 0;
    return share + 1;
}

// The long-path form of a complete path, taken as it stands: no "." or ".."
// is folded and no separator changed by the system.
std::wstring verbatim(std::string_view root, std::string_view rest) {
    std::wstring path = isSeparator(root[0]) ? L"\\\\?\\UNC\\" + toWide(root.substr(2)) : L"\\\\?\\" + toWide(root);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path + toWide(rest);
}

}  // namespace

std::optional<FileStatus> statusAt(const std::wstring& path) {
    const UniqueHandle file = openAsItself(path, FILE_READ_ATTRIBUTES, kShareAll);
    return file ? statusOfHandle(file.get()) : std::nullopt;
}

bool Win32FileSystem::isAbsolutePath(std::string_view path) const { return rootLength(path) != 0; }

std::unique_ptr<FolderEntry> Win32FileSystem::reach(std::string_view path, std::error_code& error) {
    error = win32Error(ERROR_INVALID_NAME);
    const std::size_t root = rootLength(path);
    // Text that is no WTF-8 would reach the system as another name.
    if (root == 0 || toUtf8(toWide(path)) != path) return nullptr;
    std::vector<UniqueHandle> folders;
    std::string_view rest = path.substr(root);
    for (std::size_t separator; (separator = rest.find_first_of("\\/")) != std::string_view::npos;
         rest.remove_prefix(separator + 1)) {
        if (!isPlainComponent(rest.substr(0, separator))) return nullptr;
        const std::string_view walked = path.substr(root, std::size_t(rest.data() - path.data()) - root + separator);
        UniqueHandle folder = holdFolder(verbatim(path.substr(0, root), walked));
        const auto status = folder ? statusOfHandle(folder.get()) : std::nullopt;
        if (!status || status->kind != FileStatus::Kind::Directory) {
            error = folder ? win32Error(ERROR_CANT_ACCESS_FILE) : lastWin32Error();
            return nullptr;
        }
        folders.push_back(std::move(folder));
    }
    if (!isPlainComponent(rest)) return nullptr;
    error.clear();
    return std::make_unique<Win32FolderEntry>(std::move(folders),
                                              verbatim(path.substr(0, root), path.substr(root)));
}

}  // namespace quorvex
