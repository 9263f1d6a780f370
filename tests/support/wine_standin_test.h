// The fixture of a test run once per stand-in architecture, "x64" and "x86",
// on `Base`: the build tree's Wine prefix is made before the suite and its
// server ended after it. A machine without Wine fails rather than passing
// untested; 32-bit Wine is an extra, so without it the x86 case is skipped.
// The test's build names the stand-ins in QUORVEX_WINE_STANDIN_X64 and
// QUORVEX_WINE_STANDIN_X86, each empty where it found no compiler or no wine.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "wine_prefix.h"

namespace quorvex::test {

template <class Base>
class WineStandInTest : public Base, public testing::WithParamInterface<std::string> {
protected:
    static void SetUpTestSuite() { prefixProblem_ = prepareWinePrefix(); }
    static void TearDownTestSuite() { stopWineServer(); }

    void SetUp() override {
        ASSERT_TRUE(prefixProblem_.empty()) << prefixProblem_;
        if (this->GetParam() == "x86" && !standIn.problem.empty()) GTEST_SKIP() << standIn.problem;
        ASSERT_TRUE(standIn.problem.empty()) << standIn.problem;
        Base::SetUp();
    }

    const WineStandIn standIn = findWineStandIn(
        this->GetParam(), this->GetParam() == "x64" ? QUORVEX_WINE_STANDIN_X64 : QUORVEX_WINE_STANDIN_X86);

private:
    static inline std::string prefixProblem_;
};

}  // namespace quorvex::test
