// One suite of behaviour every process table must show to the monitor. A
// backend's test program supplies a driver and instantiates the suite with
// INSTANTIATE_TEST_SUITE_P(Name, ProcessTableContract, testing::Values(&makeDriver)).
// The suite counts the program's heap allocations: linking it replaces the
// global operator new.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "platform/process_table.h"

namespace quorvex::test {

// What the suite needs beyond the table: processes of its own, copies of a
// small stand-in program run from a folder whose name has a space and
// Chinese characters, as a USB drive's folders often do.
class ProcessTableDriver {
public:
    virtual ~ProcessTableDriver() = default;
    virtual const ProcessTable& table() = 0;
    // An image name made from `stem` that no other process on this machine
    // has: a guard running beside the tests must not take our copies, nor
    // we its processes.
    virtual std::string uniqueName(std::string_view stem) = 0;
    // Starts a copy of the stand-in as `name` and returns once it runs: its
    // number for the calls below.
    virtual int start(const std::string& name) = 0;
    virtual bool running(int copy) = 0;
    // Ends the copy and waits until it has gone.
    virtual void end(int copy) = 0;
    // The executable path the table should report for a copy run as `name`.
    virtual std::string executablePath(const std::string& name) = 0;

    // The ways a program can appear under a process ID a table has met
    // before, each false where the system or this test cannot do it:
    // - the copy's own process runs the stand-in again as `name` (exec);
    virtual bool execAs(int /*copy*/, const std::string& /*name*/) { return false; }
    // - the copy ends, and a new copy as `name` takes over its ID.
    virtual bool reuseIdAs(int /*copy*/, const std::string& /*name*/) { return false; }
};

using ProcessTableDriverFactory = std::unique_ptr<ProcessTableDriver> (*)();

class ProcessTableContract : public testing::TestWithParam<ProcessTableDriverFactory> {
protected:
    void SetUp() override { driver = GetParam()(); }
    std::unique_ptr<ProcessTableDriver> driver;
};

}  // namespace quorvex::test
