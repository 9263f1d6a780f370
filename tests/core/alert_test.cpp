// What the alert says and when it comes back: worms the guard ends, worms it
// cannot end, and several worms in one poll period.
#include "app_fixture.h"

namespace quorvex::test {
namespace {

using namespace form1;

TEST_F(AppTest, AWormThatCannotBeEndedIsSaidSoOnceAndStaysMinimized) {
    start();
    runWorm("winsvcs.exe", "/opt/admin/winsvcs.exe", {5, 42});
    killer.refusing.insert(processes.processes[0].id);
    toolkit.advance(kPollIntervalMs);
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(label1(), kWatchList[0].refusedText);
    EXPECT_EQ(label2(), "/opt/admin/winsvcs.exe");
    EXPECT_TRUE(command1Enabled());

    main().click(Command2);
    toolkit.advance(50 * kPollIntervalMs);
    EXPECT_FALSE(main().isVisible()) << "the copy runs on, and was reported";
    EXPECT_EQ(killer.orders.size(), 1u);

    // A copy the guard can end is a new worm, reported as stopped.
    processes.processes.push_back({"WinSvcs.exe", "/media/u/WinSvcs.exe"});
    toolkit.advance(kPollIntervalMs);
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(label1(), kWatchList[0].alertText);
    EXPECT_EQ(label2(), "/media/u/WinSvcs.exe");
    EXPECT_EQ(killer.copies.back(), processes.processes[1].key());
}

// Each worm seen by a period's one look runs its own tick in timer order:
// its own kill pass, then its alert.
TEST_F(AppTest, TwoWormsOfOnePeriodAlertInTimerOrderEachAfterItsOwnKillPass) {
    start();
    toolkit.advance(kPollIntervalMs);
    processes.processes = {{"winversvcs.exe", "/b/winversvcs.exe"}, {"bash", "/bin/bash"},
                           {"winsvcs.exe", "/a/winsvcs.exe"}};
    std::vector<std::pair<std::string, int>> kills;  // the name, and the enumerations made by then
    std::vector<std::string> alertsAtKills;
    killer.onOrder = [&] {
        kills.emplace_back(killer.orders.back().imageName, processes.enumerations);
        alertsAtKills.push_back(label1());
    };
    const int before = processes.enumerations;
    toolkit.advance(kPollIntervalMs);

    ASSERT_EQ(kills.size(), 2u);
    EXPECT_EQ(kills[0], (std::pair<std::string, int>{"winsvcs.exe", before + 2})) << "the look, then its kill pass";
    EXPECT_EQ(kills[1].first, "winversvcs.exe");
    EXPECT_GE(kills[1].second, kills[0].second + 1) << "a kill pass of its own";
    EXPECT_EQ(alertsAtKills[1], kWatchList[0].alertText) << "the first worm was alerted before the second's kill";
    EXPECT_EQ(label1(), kWatchList[7].alertText);
    EXPECT_EQ(label2(), "/b/winversvcs.exe");
}

}  // namespace
}  // namespace quorvex::test
