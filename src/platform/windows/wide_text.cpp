#include "platform/windows/wide_text.h"

#include <optional>

namespace quorvex {

namespace {

constexpr wchar_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }
bool isHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

struct CodePoint {
    char32_t value;
    std::size_t length;  // bytes
};

// The sequence starting at `at`, by UTF-8's rules except that surrogates
// (ED A0..BF xx) are allowed; nothing when the bytes there form none.
std::optional<CodePoint> decodeAt(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return CodePoint{lead, 1};
    std::size_t length = 0;
    char32_t value = 0;
    unsigned char secondMin = 0x80, secondMax = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F;
        if (lead == 0xE0) secondMin = 0xA0;  // no overlong forms
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07;
        if (lead == 0xF0) secondMin = 0x90;
        if (lead == 0xF4) secondMax = 0x8F;  // nothing past U+10FFFF
    } else {
        return std::nullopt;
    }
    if (text.size() - at < length || byte(1) < secondMin || byte(1) > secondMax) return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        if (!isContinuation(byte(i))) return std::nullopt;
        value = (value << 6) | (byte(i) & 0x3F);
    }
    return CodePoint{value, length};
}

void appendUtf8(std::string& out, char32_t value) {
    if (value < 0x80) {
        out += static_cast<char>(value);
        return;
    }
    const int continuations = value < 0x800 ? 1 : value < 0x10000 ? 2 : 3;
    static constexpr unsigned char kLeads[] = {0, 0xC0, 0xE0, 0xF0};
    out += static_cast<char>(kLeads[continuations] | (value >> (6 * continuations)));
    for (int i = continuations - 1; i >= 0; --i) out += static_cast<char>(0x80 | ((value >> (6 * i)) & 0x3F));
}

}  // namespace

std::wstring toWide(std::string_view wtf8) {
    std::wstring wide;
    wide.reserve(wtf8.size());
    for (std::size_t at = 0; at < wtf8.size();) {
        const std::optional<CodePoint> point = decodeAt(wtf8, at);
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

std::string toUtf8(std::wstring_view utf16) {
    std::string out;
    out.reserve(utf16.size() * 3);
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
    return out;
}

}  // namespace quorvex
