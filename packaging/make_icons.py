#!/usr/bin/python3
"""Writes the hicolor theme icons of the Debian package into icons/.

The picture is the application icon's (src/ui/assets/make_assets.py): drawn
at its own 16 and 32 pixels, and enlarged from those by whole pixels for the
sizes desktops draw application icons at, so every size stays crisp and shows
the same window.

Run with /usr/bin/python3 (needs python3-pil); the output is deterministic.
"""
import sys
from pathlib import Path

from PIL import Image

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "src/ui/assets"))
from make_assets import PALETTE16, TRANSPARENT, window_picture  # noqa: E402

# Size of the icon: size of the drawing it is enlarged from.
SIZES = {16: 16, 32: 32, 48: 16, 64: 32, 128: 32, 256: 32}


def drawing(size: int) -> Image.Image:
    image = Image.new("RGBA", (size, size))
    image.putdata([(0, 0, 0, 0) if index is TRANSPARENT else PALETTE16[index] + (255,)
                   for row in window_picture(size, colour=True) for index in row])
    return image


def main() -> None:
    for size, drawn in SIZES.items():
        drawing(drawn).resize((size, size), Image.NEAREST).save(HERE / "icons" / f"quorvex-{size}.png", optimize=True)


if __name__ == "__main__":
    main()
