// Conversions between the toolkit's descriptions and Qt's units.
#pragma once

#include <QtCore/QRect>
#include <QtCore/QString>

#include <string_view>

#include "platform/toolkit.h"

namespace quorvex {

inline int toPixels(int twips) { return twips / kTwipsPerPixel; }

inline QRect toPixels(const Box& box) {
    return {toPixels(box.left), toPixels(box.top), toPixels(box.width), toPixels(box.height)};
}

// For display only: bytes that are not UTF-8 show as U+FFFD.
inline QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A picture or icon compiled into the program (src/ui/assets/assets.qrc).
inline QString assetPath(std::string_view name) { return QStringLiteral(":/assets/") + toQString(name); }

}  // namespace quorvex
