// UTF-8, and WTF-8: UTF-8 that may also hold unpaired surrogates, so that
// any UTF-16 a system hands over (a Windows file name need not be valid
// UTF-16) survives the trip through it unchanged.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorvex {

struct CodePoint {
    char32_t value = 0;
    std::size_t length = 0;  // bytes
};

enum class Surrogates { Refused, Allowed };

// The sequence that starts at `at`: no overlong forms, nothing past U+10FFFF,
// surrogates only where allowed. Nothing when the bytes there form none.
std::optional<CodePoint> decodeAt(std::string_view text, std::size_t at, Surrogates surrogates);

bool isValidUtf8(std::string_view text);

// Appends `value` in UTF-8; a surrogate takes its three-byte WTF-8 form.
void appendUtf8(std::string& out, char32_t value);

}  // namespace quorvex
