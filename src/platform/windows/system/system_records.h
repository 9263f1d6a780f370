// The system's own record of every process, with what names each process
// for good: its ID, which the system may give again once it has ended, and
// its creation time, which tells the processes of one ID apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace quorvex {

// Room for the records of a few hundred processes: what a buffer starts with.
inline constexpr std::size_t kSystemRecordsRoom = std::size_t(1) << 18;

struct SystemRecord {
    unsigned long id;
    std::wstring_view imageName;  // valid only inside the visit
    std::uint64_t createdAt;      // in 100 ns since 1601, as FILETIME counts
    unsigned long sessionId;      // the log-on session the process belongs to
};

// Takes every record afresh in one call (NtQuerySystemInformation) into
// `buffer`, which keeps its room for the next pass, and visits them in the
// system's order until `visit` returns false. The Toolhelp snapshot makes
// this same call and then copies the records into a section that each
// Process32NextW maps again, which costs a pass more than twice as much
// under Wine. Throws std::system_error when the records cannot be read.
void forEachSystemRecord(std::vector<char>& buffer, const std::function<bool(const SystemRecord&)>& visit);

}  // namespace quorvex
