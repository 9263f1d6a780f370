#include "app/running_guard.h"

#include "support/image_name.h"

namespace quorvex {

bool anotherGuardRuns(const ProcessTable& processes, std::uint64_t self, std::string_view imageName,
                      const std::function<bool(const ExecutableFile&)>& isThisProgram) {
    bool found = false;
    processes.forEach([&](const ProcessRecord& process) {
        if (!equalImageNames(process.name(), imageName) || !process.inThisSession()) return true;
        const auto key = process.key();
        if (!key || key->id == self) return true;
        const auto file = isThisProgram ? process.executable() : std::nullopt;
        found = !isThisProgram || (file && isThisProgram(*file));
        return !found;
    });
    return found;
}

}  // namespace quorvex
