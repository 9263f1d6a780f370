// A program started through its 8.3 short name ("DEVICE~1.EXE", as an old
// autorun file or shortcut may start it) is recorded by the system under that
// name, and its image may be named by a short path; the watch list and the
// guard know the long ones.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvex {

// `path` with its components in their long form; as it stands where it holds
// no '~' (so no short name) or the system cannot say.
std::wstring longPath(const std::wstring& path);

// The long name of the image at `imagePath` (short or long) when
// `recordedName` (WTF-8) is that image's short name; nullopt when it is not,
// or the system cannot say.
std::optional<std::string> longImageName(std::string_view recordedName, const std::wstring& imagePath);

// Makes `recordedName`, the image name the system's records give the
// process `processId`, the long name of that process's image where it is the
// image's short name. Only a name with a '~' can be one: no other is looked up.
void lengthenImageName(unsigned long processId, std::string& recordedName);

}  // namespace quorvex
