// A picture stored in the program's resources (RCDATA, any format the
// system's imaging component decodes), as a 32-bit device-independent bitmap.
#pragma once

#include <windows.h>

#include <memory>
#include <string_view>
#include <type_traits>

namespace quorvex {

struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;

struct Picture {
    UniqueBitmap bitmap;
    SIZE size{};
};

// Needs COM initialized on the calling thread; throws std::system_error.
Picture loadResourcePicture(std::string_view name);

}  // namespace quorvex
