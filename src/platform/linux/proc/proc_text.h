// The text rules of the /proc process table, apart from any system call so
// that they can be checked on recorded /proc text. Everything here returns
// views into its arguments and never allocates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quorvex::proctext {

// Longest image name and path taken from text a process controls; anything
// longer is treated as unreadable.
inline constexpr std::size_t kMaxNameBytes = 255;
inline constexpr std::size_t kMaxPathBytes = 4095;
// Command names longer than this are cut by the kernel.
inline constexpr std::size_t kCommandNameBytes = 15;

// The kernel ends the target of a link to a deleted file with " (deleted)";
// a file may also really be named so, which only the file system can tell.
bool hasDeletedMark(std::string_view linkTarget);
// `linkTarget` without that mark (unchanged when it has none).
std::string_view withoutDeletedMark(std::string_view linkTarget);

// What a process's executable link names.
struct LinkedExecutable {
    std::string_view name;  // the image name
    // The file's path; absent for a program that runs from no file.
    std::optional<std::string_view> path;
};
// The executable that the link's `target` names; `markIsTheKernels` tells
// that its deletion mark is the kernel's (no file of that marked name is the
// one running). The shapes the kernel makes:
// - "/media/u/WinSvcs.exe": that file. For a file on a file system unmounted
//   lazily (an overlay included), the path runs from that file system's own
//   root and may name another file here: only the file's identity tells.
// - "/media/u/WinSvcs.exe (deleted)": the file once at "/media/u/WinSvcs.exe",
//   which no longer stands there.
// - "/memfd:WinSvcs.exe (deleted)": a program copied into memory (memfd) and
//   run from there: named by the memfd's name (its last component), with no
//   file at all.
LinkedExecutable linkedExecutable(std::string_view target, bool markIsTheKernels);

// True for the file names of the loaders that run Windows programs.
bool isWineLoader(std::string_view imageName);

// Non-empty, valid UTF-8 and at most kMaxNameBytes.
bool isTrustworthyName(std::string_view name);

// argv[0] from the text of /proc/PID/cmdline. `filledBuffer` tells that the
// read may have cut the text; an argument without its terminator is then
// unreadable. Empty when there is none (kernel threads, exited processes).
std::optional<std::string_view> firstArgument(std::string_view cmdline, bool filledBuffer);

// What /proc/PID/stat ("PID (comm) S ppid pgrp session tty tpgid flags ...
// num_threads ...") tells of a process whose executable cannot be read.
struct StatFields {
    std::string_view commandName;
    // The thread-group leader has exited, or is exiting (its executable is
    // already out of reach then). With other threads still running the
    // process lives on; alone, it is a zombie waiting to be reaped, or soon
    // one.
    bool exited = false;
    bool kernelThread = false;  // never runs a program of its own
    long threads = 0;           // threads of the process, the exited leader included
};
std::optional<StatFields> parseStat(std::string_view stat);
// The start time in /proc/PID/stat (its 22nd field, in clock ticks since boot).
std::optional<std::uint64_t> startTime(std::string_view stat);
// The real user ID on the "Uid:" line of /proc/PID/status.
std::optional<unsigned> realUser(std::string_view status);

// The name of a process whose executable cannot be read: its command name,
// extended to the last component of argv[0] when that begins with the cut
// command name (so names longer than the kernel keeps survive). A program run
// from a memfd has "memfd:" and the memfd's name as its command name, and is
// named by the memfd's name, as in its executable link.
std::string_view nameFromCommand(std::string_view commandName, std::string_view argv0);

// The Windows image name of a Wine-hosted process: argv[0]'s last component
// at '/' or '\'. Empty when that is not a trustworthy name.
std::string_view wineImageName(std::string_view argv0);

// A file mapped into a process, as its maps line tells it.
struct MappedFile {
    std::string_view path;
    unsigned deviceMajor = 0;
    unsigned deviceMinor = 0;
    std::uint64_t inode = 0;
};

// The mapped image `imageName` in the text of a Wine-hosted process's
// /proc/PID/maps: the mapped file whose last component equals the name
// ignoring ASCII case, preferring the mapping of its first page (the image
// base). A deleted file's path loses its mark; lines that are cut, malformed,
// anonymous, hold an untrustworthy path or map a memfd are passed over.
std::optional<MappedFile> wineImage(std::string_view maps, std::string_view imageName);

}  // namespace quorvex::proctext
