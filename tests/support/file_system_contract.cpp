#include "file_system_contract.h"

#include "remedy/cleanup.h"

namespace quorvex::test {
namespace {

using Kind = FileStatus::Kind;
constexpr CleanupOutcome Succeeded = CleanupOutcome::Succeeded;
constexpr CleanupOutcome Failed = CleanupOutcome::Failed;

constexpr std::string_view kWorm = "WinSvcs.exe";

std::string joined(std::string_view folder, std::string_view name) {
    return std::string(folder) + "/" + std::string(name);
}

// `identity` where nothing tells its file system from the next one there.
FileIdentity ambiguous(FileIdentity identity) {
    identity.ambiguous = true;
    return identity;
}

// The cleanup of the worm detected at `name` while its file stood there.
CleanupOutcome cleanUpDetected(FileSystemDriver& driver, std::string_view name) {
    return cleanUp(driver.path(name), driver.identityOf(name), driver.files());
}

// --- Succeeded: the worm's file is gone and a directory stands in its place.

TEST_P(FileSystemContract, ProtectedWormFileBecomesAnEmptyDirectory) {
    driver->makeFile(kWorm, "MZ worm", true);
    ASSERT_TRUE(driver->isProtected(kWorm));
    EXPECT_EQ(cleanUpDetected(*driver, kWorm), Succeeded);
    EXPECT_EQ(driver->kindAt(kWorm), Kind::Directory);
    EXPECT_TRUE(driver->listing(kWorm).empty());
}

TEST_P(FileSystemContract, DirectoryAlreadyThereStaysWithItsContents) {
    driver->makeFile(kWorm, "MZ worm");
    const auto detected = driver->identityOf(kWorm);
    ASSERT_EQ(cleanUpDetected(*driver, kWorm), Succeeded);
    driver->makeDirectory(joined(kWorm, "inner"));
    driver->makeFile(joined(kWorm, "note.txt"), "kept");
    const auto contents = driver->listing(kWorm);

    for (const auto& worm : {detected, std::optional(FileIdentity{1, 2}), std::optional<FileIdentity>()})
        EXPECT_EQ(cleanUp(driver->path(kWorm), worm, driver->files()), Succeeded);
    EXPECT_EQ(cleanUp(driver->path(kWorm), ambiguous(*detected), driver->files()), Failed)
        << "a worm that could have been on another volume";
    EXPECT_EQ(driver->readFile(joined(kWorm, "note.txt")), "kept");
    EXPECT_EQ(driver->kindAt(joined(kWorm, "inner")), Kind::Directory);
    EXPECT_EQ(driver->listing(kWorm), contents);
}

// A scanner that removed the worm's file first leaves its name free: the
// directory goes there all the same, provided the folder is on the worm's
// own volume; a worm never identified, or known only by what could be
// another volume, gets nothing.
TEST_P(FileSystemContract, NameAScannerFreedBecomesAnEmptyDirectory) {
    driver->makeFile(kWorm, "MZ worm", true);
    const auto detected = driver->identityOf(kWorm);
    ASSERT_TRUE(detected);
    driver->remove(kWorm);

    for (const auto& unproven : {std::optional<FileIdentity>(), std::optional(driver->onTheNextVolume(*detected)),
                                 std::optional(ambiguous(*detected))}) {
        EXPECT_EQ(cleanUp(driver->path(kWorm), unproven, driver->files()), Failed);
        EXPECT_FALSE(driver->kindAt(kWorm));
    }
    EXPECT_EQ(cleanUp(driver->path(kWorm), detected, driver->files()), Succeeded);
    EXPECT_EQ(driver->kindAt(kWorm), Kind::Directory);
    EXPECT_TRUE(driver->listing(kWorm).empty());
}

// A file with other names keeps its protection under them: the cleanup
// removes only this name where the folder alone decides, and leaves it where
// a read-only file keeps every name. Either way it says Succeeded exactly
// when a directory stands at the path.
TEST_P(FileSystemContract, HardLinkedFileKeepsItsProtection) {
    driver->makeFile("system.log", "precious", true);
    driver->hardLink("system.log", kWorm);
    const CleanupOutcome outcome = cleanUpDetected(*driver, kWorm);
    EXPECT_EQ(outcome, driver->readOnlyKeepsEveryName() ? Failed : Succeeded);
    EXPECT_EQ(driver->kindAt(kWorm), outcome == Succeeded ? Kind::Directory : Kind::File);
    EXPECT_TRUE(driver->isProtected("system.log"));
    EXPECT_EQ(driver->readFile("system.log"), "precious");
}

// --- Failed: whatever stands at the path is not the worm's file, so it stays.

TEST_P(FileSystemContract, WhatIsNotTheWormsFileIsLeftAlone) {
    driver->makeFile(kWorm, "MZ worm");
    const auto detected = driver->identityOf(kWorm);
    driver->rename(kWorm, "kept.exe");
    const auto leftAlone = [&](const char* what) {
        SCOPED_TRACE(what);
        const auto before = driver->kindAt(kWorm);
        EXPECT_EQ(cleanUp(driver->path(kWorm), detected, driver->files()), Failed);
        EXPECT_EQ(driver->kindAt(kWorm), before);
    };

    driver->makeFile(kWorm, "someone's program", true);
    leftAlone("another file");
    EXPECT_TRUE(driver->isProtected(kWorm));
    EXPECT_EQ(driver->readFile(kWorm), "someone's program");
    driver->remove(kWorm);
    if (driver->makeOther(kWorm)) {
        leftAlone("a pipe");
        driver->remove(kWorm);
    }

    driver->rename("kept.exe", kWorm);
    EXPECT_EQ(cleanUp(driver->path(kWorm), std::nullopt, driver->files()), Failed) << "a file never identified";
    EXPECT_EQ(cleanUp(driver->path(kWorm), driver->onTheNextVolume(*detected), driver->files()), Failed)
        << "a worm on the volume that was there before";
    EXPECT_EQ(cleanUp(driver->path(kWorm), ambiguous(*detected), driver->files()), Failed)
        << "a worm that could have been on another volume";
    EXPECT_EQ(driver->readFile(kWorm), "MZ worm");
}

// A worm can put a link at the path, or swap a folder on the way for one,
// between the detection and the click; the cleanup then touches nothing, even
// where the link leads back to the worm's own file.
TEST_P(FileSystemContract, LinkAtThePathOrOnTheWayTouchesNothing) {
    driver->makeDirectory("drive");
    driver->makeDirectory("victims");
    const std::string file = joined("drive", kWorm), victim = joined("victims", kWorm);
    driver->makeFile(file, "MZ worm");
    driver->makeFile(victim, "victim", true);
    const auto detected = driver->identityOf(file);
    if (const std::string cannot = driver->linkToFile(file, kWorm); !cannot.empty()) GTEST_SKIP() << cannot;

    EXPECT_EQ(cleanUp(driver->path(kWorm), detected, driver->files()), Failed) << "a link to the worm's file";
    EXPECT_EQ(driver->kindAt(kWorm), Kind::Other);
    driver->remove(kWorm);
    ASSERT_EQ(driver->linkToFile(victim, kWorm), "");
    EXPECT_EQ(cleanUp(driver->path(kWorm), driver->identityOf(victim), driver->files()), Failed) << "a link elsewhere";
    EXPECT_EQ(driver->kindAt(kWorm), Kind::Other);

    driver->rename("drive", "moved");
    ASSERT_EQ(driver->linkToFolder("victims", "drive"), "");
    EXPECT_EQ(cleanUp(driver->path(file), detected, driver->files()), Failed) << "a folder on the way to another";
    driver->remove("drive");
    ASSERT_EQ(driver->linkToFolder("moved", "drive"), "");
    EXPECT_EQ(cleanUp(driver->path(file), detected, driver->files()), Failed) << "a folder on the way to its own";

    EXPECT_EQ(driver->readFile(joined("moved", kWorm)), "MZ worm");
    EXPECT_EQ(driver->kindAt(joined("moved", kWorm)), Kind::File);
    EXPECT_EQ(driver->readFile(victim), "victim");
    EXPECT_TRUE(driver->isProtected(victim));
    EXPECT_EQ(driver->kindAt("drive"), Kind::Other);
}

// Texts that are no complete path (empty, an outcome text, relative to the
// current directory or to a drive) and complete paths with a step that is no
// plain name touch nothing, even where the system would take them to the
// worm's file.
TEST_P(FileSystemContract, TextThatIsNoCompletePathTouchesNothing) {
    driver->enterFolder();
    driver->makeFile("winsvcs.exe", "MZ");
    driver->makeDirectory("sub");
    driver->makeFile("sub/x.exe", "MZ");
    const auto worm = driver->identityOf("winsvcs.exe");
    const auto before = driver->listing("");

    std::vector<std::string> incomplete{"", std::string(kCleanupSucceededText), std::string(kCleanupFailedText),
                                        "winsvcs.exe", std::string("sub") + driver->separator() + "x.exe"};
    for (std::string& text : driver->incompletePaths()) incomplete.push_back(std::move(text));
    for (const std::string& caption : incomplete) {
        EXPECT_FALSE(driver->files().isAbsolutePath(caption)) << caption;
        EXPECT_EQ(cleanUp(caption, worm, driver->files()), Failed) << caption;
    }

    const char separator = driver->separator();
    const std::string folder = driver->path(""), path = driver->path("winsvcs.exe");
    const std::string leaf = folder.substr(folder.rfind(separator) + 1);
    for (const std::string& malformed :
         {path + std::string(1, '\0') + "tail", driver->path("./winsvcs.exe"),
          driver->path("../" + leaf + "/winsvcs.exe"), driver->path("/winsvcs.exe"), driver->path("sub/"),
          folder + separator, folder.substr(0, folder.find(separator) + 1)}) {
        std::error_code error;
        EXPECT_FALSE(driver->files().reach(malformed, error)) << malformed;
        EXPECT_EQ(error, driver->malformedPathError()) << malformed;
        EXPECT_EQ(cleanUp(malformed, worm, driver->files()), Failed) << malformed;
    }
    EXPECT_EQ(driver->listing(""), before);
    EXPECT_EQ(driver->kindAt("winsvcs.exe"), Kind::File);

    for (const std::string& complete : driver->completePaths())
        EXPECT_TRUE(driver->files().isAbsolutePath(complete)) << complete;
}

// --- The walk and the steps on their own.

TEST_P(FileSystemContract, StepsActOnlyOnTheExpectedFileAndNeverOnADirectory) {
    driver->makeFile(kWorm, "MZ worm", true);
    const auto worm = driver->identityOf(kWorm);
    ASSERT_TRUE(worm);
    std::error_code error;
    const auto entry = driver->files().reach(driver->path(kWorm), error);
    ASSERT_TRUE(entry) << error.message();
    const auto status = entry->status();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->kind, Kind::File);
    EXPECT_EQ(status->identity, *worm);
    EXPECT_EQ(status->links, 1u);

    FileIdentity other = *worm;
    ++other.inode;
    for (const FileIdentity& notIt : {other, driver->onTheNextVolume(*worm), ambiguous(*worm)}) {
        EXPECT_EQ(entry->resetAttributes(notIt), driver->notTheExpectedFileError());
        EXPECT_EQ(entry->deleteFile(notIt), driver->notTheExpectedFileError());
    }
    EXPECT_TRUE(driver->isProtected(kWorm)) << "not that file";
    EXPECT_EQ(driver->readFile(kWorm), "MZ worm");

    EXPECT_FALSE(entry->resetAttributes(*worm));
    EXPECT_FALSE(driver->isProtected(kWorm));
    EXPECT_FALSE(entry->deleteFile(*worm));
    EXPECT_FALSE(driver->kindAt(kWorm));
    EXPECT_FALSE(entry->status());

    EXPECT_FALSE(entry->createDirectory());
    const auto directory = entry->status();
    ASSERT_TRUE(directory);
    EXPECT_EQ(directory->kind, Kind::Directory);
    EXPECT_TRUE(entry->deleteFile(directory->identity)) << "a directory is never removed";
    EXPECT_TRUE(entry->createDirectory()) << "one is there already";
    EXPECT_EQ(driver->kindAt(kWorm), Kind::Directory);
}

}  // namespace
}  // namespace quorvex::test
