// Feeds arbitrary bytes to the rules that read text other processes control
// (/proc/PID/cmdline, stat, maps and the executable link) and checks that
// every answer is a piece of its input and every name taken is trustworthy.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/linux/proc/proc_text.h"
#include "support/path_component.h"
#include "support/utf8.h"

namespace {

using namespace quorvex::proctext;

// The input's halves around its first NUL, so two-text rules get two texts.
std::pair<std::string_view, std::string_view> split(std::string_view input) {
    const auto nul = input.find('\0');
    if (nul == std::string_view::npos) return {input, {}};
    return {input.substr(0, nul), input.substr(nul + 1)};
}

void require(bool condition) {
    if (!condition) std::abort();
}

bool inside(std::string_view part, std::string_view whole) {
    return part.empty() || (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto [first, second] = split(input);

    const std::string_view link = withoutDeletedMark(input);
    require(link.data() == input.data() && (link.size() == input.size()) != hasDeletedMark(input));
    const std::string_view image = quorvex::lastComponent(link);
    require(inside(image, input) && image.find('/') == std::string_view::npos);
    // A link names a file at its own text, less the kernel's mark; only a
    // marked memfd names no file.
    for (bool markIsTheKernels : {false, true}) {
        const LinkedExecutable linked = linkedExecutable(input, markIsTheKernels);
        require(inside(linked.name, input) && linked.name.find('/') == std::string_view::npos);
        const bool marked = markIsTheKernels && hasDeletedMark(input);
        if (linked.path)
            require(linked.path->data() == input.data() && *linked.path == (marked ? link : input) &&
                    linked.name == quorvex::lastComponent(*linked.path));
        else
            require(marked && input.starts_with("/memfd:"));
    }

    for (bool filled : {false, true})
        if (const auto argv0 = firstArgument(input, filled)) {
            require(inside(*argv0, input) && argv0->find('\0') == std::string_view::npos);
        }

    if (const auto stat = parseStat(input)) require(inside(stat->commandName, input));
    // Numbers are read only where they stand whole.
    if (startTime(input)) require(input.find(')') != std::string_view::npos);
    if (realUser(input)) require(input.find("\nUid:\t") != std::string_view::npos);

    // A memfd's program goes by the memfd's name.
    const std::string_view command = first.starts_with("memfd:") ? quorvex::lastComponent(first.substr(6)) : first;
    const std::string_view fromCommand = nameFromCommand(first, second);
    require((fromCommand == command && inside(fromCommand, first)) ||
            (inside(fromCommand, second) && isTrustworthyName(fromCommand) && fromCommand.starts_with(command)));

    const std::string_view wine = wineImageName(input);
    require(wine.empty() || (inside(wine, input) && isTrustworthyName(wine) &&
                             wine.find_first_of("/\\") == std::string_view::npos));

    if (const auto image = wineImage(first, second)) {
        const std::string_view path = image->path;
        require(inside(path, first) && path.starts_with('/') && quorvex::isValidUtf8(path) &&
                path.size() <= kMaxPathBytes && path.find('\n') == std::string_view::npos);
    }
    return 0;
}
