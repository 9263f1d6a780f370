#include "app_fixture.h"

namespace quorvex::test {
namespace {

using namespace form1;

constexpr int pollTimers = int(kWatchList.size());

TEST_F(AppTest, StartsHiddenWithOnlyTheSplashAndTimersRunning) {
    for (std::size_t i = kVisibleControls; i < kControls.size(); ++i)
        EXPECT_TRUE(main().isEnabled(i)) << kControls[i].name << " runs from creation";
    start();
    EXPECT_FALSE(main().isVisible());
    ASSERT_NE(form.splash(), nullptr);
    EXPECT_TRUE(splashWindow().isVisible());
    EXPECT_EQ(label1(), "");
    EXPECT_EQ(label2(), "");
    EXPECT_TRUE(command1Enabled());

    toolkit.advance(2999);
    EXPECT_TRUE(splashWindow().isLoaded());
    EXPECT_EQ(totalPollTicks(), 29 * pollTimers);
    toolkit.advance(1);
    EXPECT_FALSE(splashWindow().isLoaded());
    for (HeadlessWindow* window : toolkit.windows()) EXPECT_FALSE(window->isVisible());

    toolkit.advance(1000);
    EXPECT_EQ(totalPollTicks(), 40 * pollTimers) << "the guard keeps polling with no window shown";
    for (std::size_t i = kVisibleControls; i < kControls.size(); ++i) {
        const auto& times = main().timerFireTimes(i);
        ASSERT_EQ(times.size(), 40u);
        for (std::size_t k = 0; k < times.size(); ++k) EXPECT_EQ(times[k], kPollIntervalMs * std::int64_t(k + 1));
    }
}

TEST_F(AppTest, DescriptionMatchesTheWindowLayout) {
    struct Expected {
        ControlId id;
        Rect pixels;
        std::string_view text;
        int tab;
    };
    const Expected expected[] = {
        {Label1, {256, 40, 329, 25}, "", 0},       {Command1, {256, 160, 121, 49}, "立即查杀", 1},
        {Command2, {424, 160, 121, 49}, "最小化", 2}, {Label2, {256, 88, 321, 33}, "", 3},
        {Image1, {24, 32, 179, 179}, "", -1},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(kControls[e.id].name);
        EXPECT_EQ(main().controlRect(e.id), e.pixels);
        EXPECT_EQ(main().caption(e.id), e.text);
        EXPECT_EQ(kControls[e.id].tabIndex, e.tab);
        EXPECT_FALSE(kControls[e.id].autoSize);
    }
    EXPECT_EQ(kControls[Image1].picture, "logo");
    EXPECT_FALSE(kControls[Image1].stretch);
    EXPECT_EQ(main().clientRect().width, 610);
    EXPECT_EQ(main().clientRect().height, 281);
    EXPECT_EQ(kWindow.title, "Quorvex");
    EXPECT_EQ(kWindow.border, Border::None);
    EXPECT_FALSE(kWindow.showInTaskbar);
    // The poll timers follow the watch list, 100 ms each, running from creation.
    ASSERT_EQ(kControls.size(), kVisibleControls + kWatchList.size());
    for (std::size_t i = 0; i < kWatchList.size(); ++i) {
        const ControlDesc& timer = kControls[kVisibleControls + i];
        EXPECT_EQ(timer.name, "Timer" + std::to_string(i + 1));
        EXPECT_EQ(timer.kind, ControlKind::Timer);
        EXPECT_EQ(timer.intervalMs, 100);
        EXPECT_TRUE(timer.running);
    }
}

TEST_F(AppTest, EachWormIsCaughtByItsOwnTimerInTheTablesCase) {
    start();
    for (const WatchEntry& entry : kWatchList) {
        SCOPED_TRACE(entry.name);
        std::string running(entry.name);
        for (char& c : running) c = char(std::toupper(static_cast<unsigned char>(c)));
        processes.processes = {{"bash", "/bin/bash"}, {running, "/media/usb/" + running}};
        killer.orders.clear();
        main().hide();

        toolkit.advance(kPollIntervalMs);
        ASSERT_EQ(killer.orders.size(), 1u);
        EXPECT_EQ(killer.orders[0].commandLine, entry.killCommand);
        EXPECT_EQ(killer.orders[0].imageName, entry.name);
        EXPECT_TRUE(main().isVisible());
        EXPECT_EQ(label1(), entry.alertText);
        EXPECT_EQ(label2(), "/media/usb/" + running);
        EXPECT_TRUE(command1Enabled());
    }
}

TEST_F(AppTest, UnlistedProgramIsNeverDetected) {
    start();
    processes.processes = {{"winsvcs2.exe", "/x"}, {"autorun.exe", "/y"}, {"svchost.exe", "/z"}};
    toolkit.advance(5000);
    EXPECT_TRUE(killer.orders.empty());
    EXPECT_FALSE(main().isVisible());
    EXPECT_EQ(label1(), "");
}

TEST_F(AppTest, TwoCopiesGiveTwoKillsAndTheLastPath) {
    start();
    processes.processes = {{"DriveMgr.exe", "/a/DriveMgr.exe"}, {"drivemgr.exe", "/b/drivemgr.exe"}};
    toolkit.advance(kPollIntervalMs);
    EXPECT_EQ(killer.orders.size(), 2u);
    EXPECT_EQ(label2(), "/b/drivemgr.exe");
}

TEST_F(AppTest, WormGoneBeforeTheKillPassKeepsLabel2ButAlerts) {
    start();
    processes.processes = {{"winsvcs.exe", "/old/winsvcs.exe"}};
    toolkit.advance(kPollIntervalMs);
    processes.processes.clear();
    files.disk["/old/winsvcs.exe"] = FileStatus{FileStatus::Kind::Directory};  // an earlier cleanup's
    ASSERT_TRUE(cleanUpAndWait());
    EXPECT_EQ(label2(), "病毒清除成功！");
    EXPECT_FALSE(command1Enabled());
    main().hide();

    processes.processes = {{"winhxvh.exe", "/new/winhxvh.exe"}};
    processes.afterEnumeration = [&](bool) { processes.processes.clear(); };  // gone by the kill pass
    killer.orders.clear();
    toolkit.advance(kPollIntervalMs);
    EXPECT_TRUE(killer.orders.empty());
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(label1(), kWatchList[4].alertText);
    EXPECT_EQ(label2(), "病毒清除成功！");
    EXPECT_TRUE(command1Enabled());
}

TEST_F(AppTest, ALaterWormOverwritesTheAlert) {
    start();
    processes.processes = {{"winsvcs.exe", "/a/winsvcs.exe"}};
    toolkit.advance(kPollIntervalMs);
    processes.processes = {{"winversvcs.exe", "/b/winversvcs.exe"}};
    toolkit.advance(kPollIntervalMs);
    EXPECT_EQ(label1(), kWatchList[7].alertText);
    EXPECT_EQ(label2(), "/b/winversvcs.exe");
    EXPECT_TRUE(command1Enabled());
}

TEST_F(AppTest, Command1CleansTheShownPathOnce) {
    start();
    runWorm("winsvcs.exe", "/media/u/winsvcs.exe", {5, 42});
    toolkit.advance(kPollIntervalMs);
    processes.processes.clear();
    ASSERT_TRUE(cleanUpAndWait());
    EXPECT_EQ(files.calls(), (std::vector<std::string>{"reset /media/u/winsvcs.exe", "delete /media/u/winsvcs.exe",
                                                       "mkdir /media/u/winsvcs.exe"}));
    EXPECT_EQ(label2(), "病毒清除成功！");
    EXPECT_EQ(label1(), kWatchList[0].alertText) << "the alert line stays";
    EXPECT_FALSE(command1Enabled());
    EXPECT_TRUE(main().isVisible());

    int reached = 0;
    files.onReach = [&] { ++reached; };
    main().click(Command1);  // disabled: no second cleanup
    toolkit.advance(kPollIntervalMs);
    EXPECT_EQ(reached, 0);
}

TEST_F(AppTest, CleanupOfAFileThatIsNoLongerTheWormsSaysItFailed) {
    start();
    runWorm("winsvcs.exe", "/media/u/winsvcs.exe", {5, 42});
    toolkit.advance(kPollIntervalMs);
    processes.processes.clear();
    files.disk["/media/u/winsvcs.exe"].identity = {5, 43};  // replaced since the detection
    ASSERT_TRUE(cleanUpAndWait());
    EXPECT_EQ(label2(), "病毒清除失败！");
    EXPECT_TRUE(files.calls().empty());
    EXPECT_FALSE(command1Enabled());
}

// A cleanup on a file system that stops answering must not stop the guard.
TEST_P(HangingCleanupTest, HangingCleanupLeavesTheGuardKillingAndTheButtonDisabled) {
    const DetectionDuringCleanup& detected = GetParam();
    const WatchEntry& worm = kWatchList[detected.entry];
    start();
    runWorm("winsvcs.exe", "/dead/share/winsvcs.exe", {5, 42});
    toolkit.advance(kPollIntervalMs);
    processes.processes.clear();
    std::promise<void> answer = clickIntoAHangingCleanup();
    EXPECT_FALSE(command1Enabled());
    const int ticks = totalPollTicks();
    killer.orders.clear();
    runWorm(std::string(worm.name), detected.path, detected.identity);
    toolkit.advance(1000);
    EXPECT_EQ(totalPollTicks() - ticks, 10 * pollTimers);
    ASSERT_FALSE(killer.orders.empty());
    EXPECT_EQ(killer.orders[0].imageName, worm.name);
    EXPECT_EQ(label1(), worm.alertText);
    EXPECT_EQ(label2(), detected.path);
    EXPECT_FALSE(command1Enabled()) << "one cleanup at a time";

    processes.processes.clear();
    answer.set_value();
    if (detected.handsBack) {
        // The new worm's path stays for the next cleanup, and the button returns for it.
        ASSERT_TRUE(toolkit.runPostedTasksUntil([&] { return command1Enabled(); }));
        EXPECT_EQ(label2(), detected.path);
        main().click(Command1);
    }
    // Then the click is answered: at once when the worm came back from the cleaned file or gave no path.
    ASSERT_TRUE(toolkit.runPostedTasksUntil([&] { return label2() == kCleanupSucceededText; }));
    EXPECT_FALSE(command1Enabled());
    const std::string cleaned = detected.handsBack ? detected.path : "/dead/share/winsvcs.exe";
    EXPECT_TRUE(files.disk.at(cleaned).kind == FileStatus::Kind::Directory);
}

INSTANTIATE_TEST_SUITE_P(AppTest, HangingCleanupTest,
    testing::Values(DetectionDuringCleanup{"AnotherWorm", 5, "/media/v/DriveMgr.exe", {6, 7}, true},
                    DetectionDuringCleanup{"AnotherFileAtThePath", 0, "/dead/share/winsvcs.exe", {5, 43}, true},
                    DetectionDuringCleanup{"TheFileBeingCleaned", 0, "/dead/share/winsvcs.exe", {5, 42}, false},
                    DetectionDuringCleanup{"NoPathThatCouldBeRead", 0, "", {}, false}),
    testing::PrintToStringParamName());

TEST_F(AppTest, OnlyTheLeftButtonAloneDrags) {
    start();
    processes.processes = {{"winsvcs.exe", "/w"}};
    toolkit.advance(kPollIntervalMs);
    processes.processes.clear();
    for (int buttons : {2, 3, 4, 5, 6, 7, 0}) main().moveMouse(buttons);
    // Nor does the left button held on a control: the control has the moves.
    for (ControlId id = 0; id < kVisibleControls; ++id) {
        const Rect box = main().controlRect(id);
        main().moveMouseAt({box.x + box.width / 2, box.y + box.height / 2}, kLeftButton);
    }
    EXPECT_EQ(main().dragCount(), 0);
    EXPECT_EQ(toolkit.processPendingCalls(), 0);

    main().dragTo({40, 50});
    main().moveMouse(kLeftButton);
    EXPECT_EQ(main().dragCount(), 1);
    EXPECT_EQ(toolkit.processPendingCalls(), 1) << "pending events run after the drag";
    EXPECT_EQ(main().position(), (Point{40, 50}));
}

TEST_F(AppTest, Command2HidesAndTheNextDetectionRestoresEverything) {
    start();
    processes.processes = {{"winsvcs.exe", "/a/winsvcs.exe"}};
    toolkit.advance(kPollIntervalMs);
    processes.processes.clear();
    main().dragTo({7, 9});
    main().moveMouse(kLeftButton);

    main().click(Command2);
    EXPECT_FALSE(main().isVisible());
    EXPECT_EQ(label1(), kWatchList[0].alertText);
    EXPECT_TRUE(command1Enabled());
    const int ticks = totalPollTicks();
    toolkit.advance(1000);
    EXPECT_EQ(totalPollTicks() - ticks, 10 * pollTimers);
    EXPECT_FALSE(main().isVisible()) << "nothing found while hidden";

    processes.processes = {{"DeviceManager.exe", "/b/DeviceManager.exe"}};
    toolkit.advance(kPollIntervalMs);
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(main().position(), (Point{7, 9}));
    EXPECT_EQ(label1(), kWatchList[1].alertText);
    EXPECT_EQ(label2(), "/b/DeviceManager.exe");
}

TEST_F(AppTest, WormDuringTheSplashShowsBothWindows) {
    start();
    processes.processes = {{"winsvcs.exe", "/w"}};
    toolkit.advance(kPollIntervalMs);
    EXPECT_TRUE(main().isVisible());
    EXPECT_TRUE(splashWindow().isVisible());
    toolkit.advance(2900);
    EXPECT_FALSE(splashWindow().isLoaded());
    EXPECT_TRUE(main().isVisible());
}

using AppDeathTest = AppTest;

TEST_F(AppDeathTest, FailureInATickEndsWithTheReport) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct BrokenTable : ProcessTable {
        void forEach(const std::function<bool(const ProcessRecord&)>&) const override {
            throw std::system_error(std::make_error_code(std::errc::permission_denied), "/proc");
        }
    };
    EXPECT_EXIT(
        {
            BrokenTable broken;
            Form1 guarded(toolkit, broken, killer, files);
            toolkit.run(guarded.window());
            toolkit.advance(kPollIntervalMs);
            std::exit(0);
        },
        testing::ExitedWithCode(1), "运行时错误 '13'");
}

}  // namespace
}  // namespace quorvex::test
