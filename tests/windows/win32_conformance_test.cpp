#include "toolkit_conformance.h"
#include "win32_driver.h"

namespace quorvex::test {
namespace {

INSTANTIATE_TEST_SUITE_P(Win32, ToolkitConformance, testing::Values(&makeWin32Driver));
INSTANTIATE_TEST_SUITE_P(Win32, ToolkitConformanceDeathTest, testing::Values(&makeWin32Driver));

}  // namespace
}  // namespace quorvex::test
