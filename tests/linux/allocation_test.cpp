// Counts every heap allocation of this test program, to show that a pass
// over /proc that finds nothing allocates nothing per process.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "monitor/monitor.h"
#include "platform/linux/proc_table.h"
#include "child_process.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace quorvex::test {
namespace {

long allocationsOfAMiss(const ProcProcessTable& table) {
    const long before = allocations;
    EXPECT_FALSE(FindProcess(table, "NoSuchWorm.exe"));
    return allocations - before;
}

TEST(ProcProcessTable, AMissAllocatesNothingPerProcess) {
    const ProcProcessTable table;
    const long few = allocationsOfAMiss(table);

    std::vector<std::unique_ptr<Child>> more;
    for (int i = 0; i < 50; ++i) more.push_back(startSleeper(kSleepProgram));
    EXPECT_EQ(allocationsOfAMiss(table), few) << "with 50 more processes";
}

}  // namespace
}  // namespace quorvex::test
