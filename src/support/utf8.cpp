#include "support/utf8.h"

namespace quorvex {

std::optional<CodePoint> decodeAt(std::string_view text, std::size_t at, Surrogates surrogates) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return CodePoint{lead, 1};
    std::size_t length = 0;
    char32_t value = 0;
    // The second byte's range rules out overlong forms, code points above
    // U+10FFFF and, where refused, surrogates.
    unsigned char secondMin = 0x80, secondMax = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F;
        if (lead == 0xE0) secondMin = 0xA0;
        if (lead == 0xED && surrogates == Surrogates::Refused) secondMax = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07;
        if (lead == 0xF0) secondMin = 0x90;
        if (lead == 0xF4) secondMax = 0x8F;
    } else {
        return std::nullopt;
    }
    if (text.size() - at < length || byte(1) < secondMin || byte(1) > secondMax) return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return std::nullopt;
        value = (value << 6) | (byte(i) & 0x3F);
    }
    return CodePoint{value, length};
}

bool isValidUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const auto point = decodeAt(text, at, Surrogates::Refused);
        if (!point) return false;
        at += point->length;
    }
    return true;
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

}  // namespace quorvex
