#include "platform/linux/proc/proc_text.h"

#include <array>
#include <charconv>
#include <utility>

#include "support/image_name.h"
#include "support/path_component.h"
#include "support/utf8.h"

namespace quorvex::proctext {

namespace {

constexpr std::string_view kDeletedMark = " (deleted)";
// How the kernel names a memfd: in an executable link after a '/', in a
// command name at its start.
constexpr std::string_view kMemfdPrefix = "memfd:";

// Splits off the text before the first `separator`; nullopt when there is none.
std::optional<std::string_view> takeUntil(std::string_view& text, char separator) {
    const auto end = text.find(separator);
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view field = text.substr(0, end);
    text.remove_prefix(end + 1);
    return field;
}

bool allOf(std::string_view text, bool (*accept)(char)) {
    for (char c : text)
        if (!accept(c)) return false;
    return !text.empty();
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// `text` as a whole decimal number; nullopt for anything else.
template <class Number>
std::optional<Number> wholeNumber(std::string_view text) {
    Number value{};
    if (!allOf(text, isDecimalDigit) || std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc{})
        return std::nullopt;
    return value;
}

// Splits off a decimal field ended by ' ' into `value`; false when it is not one.
template <typename Number>
bool takeNumber(std::string_view& text, Number& value) {
    const auto field = takeUntil(text, ' ');
    const auto number = field ? wholeNumber<Number>(*field) : std::nullopt;
    if (number) value = *number;
    return number.has_value();
}

// One line of /proc/PID/maps: "start-end perms offset major:minor inode   path".
struct Mapping {
    bool atFileStart = false;
    MappedFile file;
};

// "MAJOR:MINOR" in hex, as maps shows a device.
std::optional<std::pair<unsigned, unsigned>> parseDevice(std::string_view device) {
    const auto major = takeUntil(device, ':');
    if (!major || major->empty() || device.empty() || !allOf(*major, isHexDigit) || !allOf(device, isHexDigit))
        return std::nullopt;
    unsigned numbers[2] = {};
    for (int i = 0; const std::string_view text : {*major, device}) {
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), numbers[i++], 16);
        if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    }
    return std::pair{numbers[0], numbers[1]};
}

std::optional<Mapping> parseMapping(std::string_view line) {
    const auto range = takeUntil(line, ' ');
    const auto perms = takeUntil(line, ' ');
    const auto offset = takeUntil(line, ' ');
    const auto device = takeUntil(line, ' ');
    const auto inode = takeUntil(line, ' ');
    if (!range || !perms || !offset || !device || !inode) return std::nullopt;

    std::string_view addresses = *range;
    const auto start = takeUntil(addresses, '-');
    if (!start || !allOf(*start, isHexDigit) || !allOf(addresses, isHexDigit)) return std::nullopt;
    if (perms->size() != 4 || !allOf(*offset, isHexDigit) || !allOf(*inode, isDecimalDigit))
        return std::nullopt;
    const auto deviceNumbers = parseDevice(*device);
    std::uint64_t inodeNumber = 0;
    if (!deviceNumbers ||
        std::from_chars(inode->data(), inode->data() + inode->size(), inodeNumber).ec != std::errc{})
        return std::nullopt;

    const auto pathStart = line.find_first_not_of(' ');
    if (pathStart == std::string_view::npos) return std::nullopt;  // an anonymous mapping
    const bool atFileStart = offset->find_first_not_of('0') == std::string_view::npos;
    return Mapping{atFileStart,
                   {line.substr(pathStart), deviceNumbers->first, deviceNumbers->second, inodeNumber}};
}

// A mapped file's path as the kernel shows it, when it can be taken as it
// stands: absolute, UTF-8, not absurdly long, and with no newline the kernel
// had to escape (an escaped name cannot be told from a real backslash).
bool isTrustworthyPath(std::string_view path) {
    return path.starts_with('/') && path.size() <= kMaxPathBytes && isValidUtf8(path) &&
           path.find("\\012") == std::string_view::npos;
}

}  // namespace

bool hasDeletedMark(std::string_view linkTarget) { return linkTarget.ends_with(kDeletedMark); }

std::string_view withoutDeletedMark(std::string_view linkTarget) {
    if (hasDeletedMark(linkTarget)) linkTarget.remove_suffix(kDeletedMark.size());
    return linkTarget;
}

LinkedExecutable linkedExecutable(std::string_view target, bool markIsTheKernels) {
    if (!markIsTheKernels || !hasDeletedMark(target)) return {lastComponent(target), target};
    const std::string_view path = withoutDeletedMark(target);
    if (path.starts_with('/') && path.substr(1).starts_with(kMemfdPrefix))
        return {lastComponent(path.substr(1 + kMemfdPrefix.size())), std::nullopt};
    return {lastComponent(path), path};
}

bool isWineLoader(std::string_view imageName) {
    constexpr std::array<std::string_view, 4> kLoaders{"wine", "wine64", "wine-preloader",
                                                       "wine64-preloader"};
    for (std::string_view loader : kLoaders)
        if (imageName == loader) return true;
    return false;
}

bool isTrustworthyName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxNameBytes && isValidUtf8(name);
}

std::optional<std::string_view> firstArgument(std::string_view cmdline, bool filledBuffer) {
    const auto end = cmdline.find('\0');
    if (end != std::string_view::npos) return cmdline.substr(0, end);
    // A process that rewrote its arguments may leave no terminator; the text
    // is whole unless the read stopped at the buffer's end.
    if (filledBuffer) return std::nullopt;
    return cmdline;
}

std::optional<StatFields> parseStat(std::string_view stat) {
    constexpr unsigned long kKernelThreadFlag = 0x00200000;  // PF_KTHREAD
    constexpr unsigned long kExitingFlag = 0x00000004;       // PF_EXITING
    // The command name may itself hold parentheses: it ends at the last ')'.
    const auto open = stat.find('(');
    const auto close = stat.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open ||
        close + 2 >= stat.size() || stat[close + 1] != ' ')
        return std::nullopt;
    std::string_view fields = stat.substr(close + 2);
    const auto state = takeUntil(fields, ' ');
    if (!state || state->size() != 1) return std::nullopt;
    // ppid, pgrp, session, tty_nr and tpgid come before the flags; ten
    // counters and times between the flags and num_threads.
    const auto skip = [&fields](int count) {
        for (int skipped = 0; skipped < count; ++skipped)
            if (!takeUntil(fields, ' ')) return false;
        return true;
    };
    unsigned long flags = 0;
    long threads = 0;
    if (!skip(5) || !takeNumber(fields, flags) || !skip(10) || !takeNumber(fields, threads))
        return std::nullopt;
    const char code = state->front();
    const bool exited = code == 'Z' || code == 'X' || code == 'x' || (flags & kExitingFlag) != 0;
    return StatFields{stat.substr(open + 1, close - open - 1), exited, (flags & kKernelThreadFlag) != 0, threads};
}

std::optional<std::uint64_t> startTime(std::string_view stat) {
    const auto close = stat.rfind(')');
    if (close == std::string_view::npos || close + 2 >= stat.size() || stat[close + 1] != ' ') return std::nullopt;
    std::string_view fields = stat.substr(close + 2);  // from the state, the 3rd field
    for (int field = 3; field < 22; ++field)
        if (!takeUntil(fields, ' ')) return std::nullopt;
    return wholeNumber<std::uint64_t>(fields.substr(0, fields.find_first_of(" \n")));
}

std::optional<unsigned> realUser(std::string_view status) {
    constexpr std::string_view kUidLine = "\nUid:\t";
    const auto line = status.find(kUidLine);
    if (line == std::string_view::npos) return std::nullopt;
    const std::string_view ids = status.substr(line + kUidLine.size());
    return wholeNumber<unsigned>(ids.substr(0, ids.find_first_of("\t\n")));
}

std::string_view nameFromCommand(std::string_view commandName, std::string_view argv0) {
    // A memfd is named as in its executable link.
    const std::string_view name =
        commandName.starts_with(kMemfdPrefix) ? lastComponent(commandName.substr(kMemfdPrefix.size())) : commandName;
    // A shorter command name was not cut and is the whole name already.
    if (commandName.size() != kCommandNameBytes) return name;
    for (std::string_view component : {lastComponent(argv0), lastComponent(argv0, kWindowsSeparators)})
        if (component.starts_with(name) && isTrustworthyName(component)) return component;
    return name;
}

std::string_view wineImageName(std::string_view argv0) {
    const std::string_view name = lastComponent(argv0, kWindowsSeparators);
    return isTrustworthyName(name) ? name : std::string_view{};
}

std::optional<MappedFile> wineImage(std::string_view maps, std::string_view imageName) {
    std::optional<MappedFile> anyMapping;
    // Lines without their newline were cut and are passed over.
    while (const auto line = takeUntil(maps, '\n')) {
        auto mapping = parseMapping(*line);
        if (!mapping) continue;
        // A mapping's path takes the shapes of an executable link; a memfd
        // mapped is no file.
        const LinkedExecutable mapped = linkedExecutable(mapping->file.path, true);
        if (!mapped.path || !equalImageNames(mapped.name, imageName) || !isTrustworthyPath(*mapped.path)) continue;
        mapping->file.path = *mapped.path;
        if (mapping->atFileStart) return mapping->file;
        if (!anyMapping) anyMapping = mapping->file;
    }
    return anyMapping;
}

}  // namespace quorvex::proctext
