// Conversions between the toolkit's descriptions and Qt's units.
#pragma once

#include <QtCore/QRect>
#include <QtCore/QString>

#include <string_view>

#include "platform/toolkit.h"
#include "support/geometry.h"

namespace quorvex {

// Qt scales pixels for the screen's density itself.
inline QRect toPixels(const Box& box) {
    const Rect rect = twipsToPixels(box);
    return {rect.x, rect.y, rect.width, rect.height};
}

// For display only: bytes that are not UTF-8 show as U+FFFD.
inline QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A picture or icon compiled into the program (src/ui/assets/assets.qrc).
inline QString assetPath(std::string_view name) { return QStringLiteral(":/assets/") + toQString(name); }

}  // namespace quorvex
