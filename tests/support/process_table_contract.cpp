#include "process_table_contract.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <new>
#include <vector>

#include "single_watch.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

// Counts every allocation of the program, for the test of a pass that finds
// nothing. Not inlined: the compiler would take the free() of memory from
// this operator new for a mismatch.
[[gnu::noinline]] void* operator new(std::size_t size) {
    ++allocations;
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* memory) noexcept { std::free(memory); }
[[gnu::noinline]] void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace quorvex::test {
namespace {

// `text` in capitals or in small letters.
std::string inCase(std::string text, bool capitals) {
    std::ranges::transform(text, text.begin(),
                           [&](unsigned char c) { return char(capitals ? std::toupper(c) : std::tolower(c)); });
    return text;
}

// The executable paths of the processes one pass names exactly `name`.
std::vector<std::string> pathsOfProcessesNamed(const ProcessTable& table, const std::string& name) {
    std::vector<std::string> paths;
    table.forEach([&](const ProcessRecord& process) {
        if (process.name() == name) paths.push_back(process.executable().value_or(ExecutableFile{"(none)"}).path);
        return true;
    });
    return paths;
}

TEST_P(ProcessTableContract, FindsCopiesByTheWatchListSpellingAndNamesTheirExecutables) {
    const std::string shortName = driver->uniqueName("WinSvcs");
    // More than the 15 characters a Linux command name keeps.
    const std::string longName = driver->uniqueName("WindowsServices");
    ASSERT_FALSE(monitorSees(driver->table(), shortName));
    ASSERT_FALSE(monitorSees(driver->table(), longName));
    const int first = driver->start(shortName);
    const int second = driver->start(longName);

    EXPECT_TRUE(monitorSees(driver->table(), inCase(shortName, false)));
    EXPECT_TRUE(monitorSees(driver->table(), inCase(longName, true)));
    for (const std::string& name : {shortName, longName})
        for (const std::string& part : {name.substr(1), name.substr(0, name.size() - 1)})
            EXPECT_FALSE(monitorSees(driver->table(), part)) << "whole names only: " << part;
    // Each copy once, under its name as it is spelt on disk.
    EXPECT_EQ(pathsOfProcessesNamed(driver->table(), shortName),
              std::vector<std::string>{driver->executablePath(shortName)});
    EXPECT_EQ(pathsOfProcessesNamed(driver->table(), longName),
              std::vector<std::string>{driver->executablePath(longName)});
    EXPECT_TRUE(driver->running(first) && driver->running(second));
}

TEST_P(ProcessTableContract, ForgetsCopiesThatHaveExited) {
    const std::string name = driver->uniqueName("WindowsServices");
    const int copy = driver->start(name);
    ASSERT_TRUE(monitorSees(driver->table(), name));
    driver->end(copy);
    ASSERT_FALSE(driver->running(copy));
    EXPECT_FALSE(monitorSees(driver->table(), name)) << "the copy has exited";
}

// What a table keeps from one pass to the next must never hide a program that
// appeared since under an ID the pass met: the next pass sees it, whichever
// way the system has for it.
TEST_P(ProcessTableContract, AProgramThatAppearedUnderAnIdMetBeforeIsSeenByTheNextPass) {
    const struct {
        const char* how;
        bool (ProcessTableDriver::*appear)(int copy, const std::string& name);
        const char* worm;  // a name of its own: the copy of an earlier way still runs
    } ways[] = {{"exec in the copy's own process", &ProcessTableDriver::execAs, "WinSvcs"},
                {"a new process that took over the copy's ID", &ProcessTableDriver::reuseIdAs, "DeviceManager"}};
    int tried = 0;
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        const std::string worm = driver->uniqueName(way.worm);
        const int copy = driver->start(driver->uniqueName(std::string("notepad-") + way.worm));
        ASSERT_FALSE(monitorSees(driver->table(), worm));
        if (!((*driver).*way.appear)(copy, worm)) continue;
        ++tried;
        EXPECT_TRUE(monitorSees(driver->table(), worm));
        EXPECT_EQ(pathsOfProcessesNamed(driver->table(), worm),
                  std::vector<std::string>{driver->executablePath(worm)});
    }
    if (tried == 0) GTEST_SKIP() << "no program can appear under an ID met before, by a test, here";
}

TEST_P(ProcessTableContract, EnumerationStopsWhenTheVisitorSaysSo) {
    int all = 0;
    driver->table().forEach([&](const ProcessRecord&) { return ++all, true; });
    ASSERT_GT(all, 2);
    int visited = 0;
    driver->table().forEach([&](const ProcessRecord&) { return ++visited < 2; });
    EXPECT_EQ(visited, 2);
}

// The table's buffers are made with it: its first pass allocates no more
// than the next one, nor one with many more processes of longer names.
TEST_P(ProcessTableContract, AMissAllocatesNothingMoreWithMoreProcesses) {
    const auto allocationsOfAMiss = [&] {
        const long before = allocations;
        EXPECT_FALSE(monitorSees(driver->table(), "NoSuchWorm.exe"));
        return allocations - before;
    };
    const long first = allocationsOfAMiss();
    const long few = allocationsOfAMiss();
    EXPECT_EQ(first, few) << "the first pass";

    const std::string name = driver->uniqueName("a stand-in whose image name is longer than any before it");
    for (int i = 0; i < 50; ++i) driver->start(name);
    EXPECT_EQ(allocationsOfAMiss(), few) << "with 50 more processes";
}

}  // namespace
}  // namespace quorvex::test
