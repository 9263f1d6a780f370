#include "monitor/monitor.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "support/image_name.h"

namespace quorvex {

namespace {

constexpr std::size_t kNoEntry = std::size_t(-1);

}  // namespace

Monitor::Monitor(const ProcessTable& processes, Killer& killer, std::span<const WatchEntry> watchList)
    : processes_(processes),
      killer_(killer),
      watchList_(watchList),
      seen_(watchList.size()),
      answered_(watchList.size()) {}

std::size_t Monitor::indexOf(std::string_view ProcessName) const {
    for (std::size_t entry = 0; entry < watchList_.size(); ++entry)
        if (watchList_[entry].name == ProcessName) return entry;
    throw std::invalid_argument("no watch entry named " + std::string(ProcessName));
}

bool Monitor::FindProcess(std::string_view ProcessName) {
    const std::size_t entry = indexOf(ProcessName);
    if (answered_[entry]) {
        // This entry's next period: the look that answered it belongs to the last.
        std::ranges::fill(answered_, 0);
        lookAgain_ = true;
    }
    if (lookAgain_) lookAtProcesses();
    answered_[entry] = 1;
    return seen_[entry] != 0;
}

void Monitor::lookAtProcesses() {
    lookAgain_ = false;
    std::ranges::fill(seen_, 0);
    for (RefusedCopy& copy : refused_) copy.met = false;
    processes_.forEach([&](const ProcessRecord& process) {
        const std::size_t entry = entryOfProcess(process);
        if (entry == kNoEntry) return true;
        const std::optional<ProcessKey> copy = refused_.empty() ? std::nullopt : process.key();
        if (!copy || !wasRefused(*copy, true)) seen_[entry] = 1;
        return true;
    });
    // A refused copy that has ended is forgotten; one started again is new.
    std::erase_if(refused_, [](const RefusedCopy& copy) { return !copy.met; });
}

std::size_t Monitor::entryOfProcess(const ProcessRecord& process) const {
    for (std::size_t entry = 0; entry < watchList_.size(); ++entry)
        if (equalImageNames(process.name(), watchList_[entry].name))
            return process.inThisSession() ? entry : kNoEntry;
    return kNoEntry;
}

bool Monitor::wasRefused(const ProcessKey& copy, bool meetsIt) {
    const auto refused = std::ranges::find(refused_, copy, &RefusedCopy::key);
    if (refused == refused_.end()) return false;
    if (meetsIt) refused->met = true;
    return true;
}

std::optional<Detection> Monitor::pollTick(const WatchEntry& entry) {
    if (!FindProcess(entry.name)) return std::nullopt;

    Detection detection;
    processes_.forEach([&](const ProcessRecord& process) {
        if (!equalImageNames(process.name(), entry.name) || !process.inThisSession()) return true;
        const std::optional<ProcessKey> copy = process.key();
        if (!copy || wasRefused(*copy, false)) return true;
        // The executable is read just before the kill goes out: a fast
        // kill can end the process before it could be read afterwards, and
        // the cleanup would lose the worm's file. A path that cannot be
        // read does not hold the kill back.
        std::optional<ExecutableFile> file = process.executable();
        if (killer_.end({entry.name, entry.killCommand, *copy}) == KillOutcome::Refused) {
            refused_.push_back({*copy, true});
            detection.refused = true;
        }
        // A path that a later copy no longer gives (a kill line may end every
        // copy at the first order) does not wipe the one an earlier copy gave.
        if (file || !detection.lastExecutable)
            detection.lastExecutable = std::move(file).value_or(ExecutableFile{});
        return true;
    });
    // The kill pass took its time: the next answer comes from a new look.
    lookAgain_ = true;
    return detection;
}

}  // namespace quorvex
