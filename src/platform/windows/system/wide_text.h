// WTF-8 inside the program, UTF-16 at the Windows API. WTF-8 is UTF-8 that
// may also hold unpaired surrogates, so any UTF-16 the system hands over (a
// file name need not be valid UTF-16) comes back unchanged.
#pragma once

#include <string>
#include <string_view>

namespace quorvex {

// Bytes that are not WTF-8 become U+FFFD, one for each byte that starts no
// sequence: texts shown must never be lost to one bad byte.
std::wstring toWide(std::string_view wtf8);
std::string toUtf8(std::wstring_view utf16);
// The same into `out`, which keeps its room: no allocation once it fits.
void toUtf8(std::wstring_view utf16, std::string& out);

}  // namespace quorvex
