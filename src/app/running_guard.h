// Whether this session has a guard already: what settles a claim on the
// session that something else holds.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/process_table.h"

namespace quorvex {

// True when a process of this session other than `self` (a process ID) runs
// this program: it bears `imageName` and, where `isThisProgram` is given,
// runs the very file it names. A claim held by anything else (a program
// squatting on its name) must not keep the guard from guarding.
bool anotherGuardRuns(const ProcessTable& processes, std::uint64_t self, std::string_view imageName,
                      const std::function<bool(const ExecutableFile&)>& isThisProgram = {});

}  // namespace quorvex
