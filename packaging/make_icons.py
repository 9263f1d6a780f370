#!/usr/bin/python3
"""Writes the hicolor theme icons (16 and 32 pixels) from the application icon."""
from pathlib import Path

from PIL import Image

here = Path(__file__).resolve().parent
icon = Image.open(here.parent / "src/ui/assets/icon.ico")
for size in (16, 32):
    icon.size = (size, size)
    icon.convert("RGBA").save(here / "icons" / f"quorvex-{size}.png")
