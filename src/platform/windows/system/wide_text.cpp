#include "platform/windows/system/wide_text.h"

#include "support/utf8.h"

namespace quorvex {

namespace {

constexpr wchar_t kReplacement = 0xFFFD;

bool isHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::wstring toWide(std::string_view wtf8) {
    std::wstring wide;
    wide.reserve(wtf8.size());
    for (std::size_t at = 0; at < wtf8.size();) {
        const std::optional<CodePoint> point = decodeAt(wtf8, at, Surrogates::Allowed);
        if (!point) {
            wide += kReplacement;
            ++at;
            continue;
        }
        if (point->value >= 0x10000) {
            const char32_t offset = point->value - 0x10000;
            wide += static_cast<wchar_t>(0xD800 + (offset >> 10));
            wide += static_cast<wchar_t>(0xDC00 + (offset & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(point->value);
        }
        at += point->length;
    }
    return wide;
}

void toUtf8(std::wstring_view utf16, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char32_t unit = static_cast<char16_t>(utf16[i]);
        const char32_t next = i + 1 < utf16.size() ? static_cast<char16_t>(utf16[i + 1]) : 0;
        if (isHighSurrogate(unit) && isLowSurrogate(next)) {
            appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
            ++i;
        } else {
            appendUtf8(out, unit);  // an unpaired surrogate keeps its three-byte form
        }
    }
}

std::string toUtf8(std::wstring_view utf16) {
    std::string out;
    out.reserve(utf16.size() * 3);
    toUtf8(utf16, out);
    return out;
}

}  // namespace quorvex
