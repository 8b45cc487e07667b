#!/usr/bin/env python3
"""Writes the soft keyboard's dialog template (soft_keyboard.rc beside this
script) and its key table (tool/pin_entry/soft_keyboard_keys.h) from the one
layout below. Run again after changing the layout; both outputs are kept in
the repository."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
KEYS_HEADER = os.path.join(HERE, "..", "pin_entry", "soft_keyboard_keys.h")

# The key table: entry index -> virtual-key code, in the order the logic
# relies on (0..9 special keys, 10..19 movement, 20..29 digits 0..9,
# 30..55 letters A..Z, 56/57 Windows and application keys, 58..69 F1..F12,
# 70..80 punctuation).
VKEYS = ([0x08, 0x09, 0x0D, 0x10, 0x11, 0x12, 0x13, 0x14, 0x1B, 0x20] +
         [0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x2D, 0x2E] +
         list(range(0x30, 0x3A)) + list(range(0x41, 0x5B)) + [0x5B, 0x5D] +
         list(range(0x70, 0x7C)) +
         [0xBA, 0xBB, 0xBC, 0xBE, 0xBD, 0xBF, 0xC0, 0xDB, 0xDC, 0xDD, 0xDE])
assert len(VKEYS) == 81

# Keys whose control identifiers other code knows.
FIXED_IDS = {0x1B: 1020, 0x09: 1034, 0x10: 1064, 0x11: 1079, 0x12: 1081, 0x14: 1049}
FIRST_FREE_ID = 1100

# Sizes in dialog units. They follow the dialog font, so the keys grow with
# it at every DPI; but the font's text widths do not grow in step with its
# dialog units (rounding), so the widths below leave room for the widest
# caption at 100, 125, 150 and 200 %. A key of one unit holds four
# half-width characters ("7 &&" of the digit keys, two Chinese characters)
# inside its frame; the movement block's keys ("Home", "Pause") are wider.
UNIT_X, UNIT_Y, GAP, MARGIN = 19, 14, 1, 3
NAV_X = 15.25  # where the movement block starts, in key units
NAV_W = 24 / UNIT_X  # its keys and the arrows under them: 24 dialog units each


def digit(d):
    return 0x30 + d


def letter(c):
    return ord(c)


# Rows: (x in key units, width in key units, virtual-key code).
def row(start, vks, width=1.0):
    return [(start + i * width, width, vk) for i, vk in enumerate(vks)]


ROWS = [
    [(0, 1, 0x1B)] + row(2, range(0x70, 0x74)) + row(6.5, range(0x74, 0x78)) +
    row(11, range(0x78, 0x7C)) + [(NAV_X, NAV_W, 0x13)],
    [(0, 1, 0xC0)] + row(1, [digit(d) for d in (1, 2, 3, 4, 5, 6, 7, 8, 9, 0)]) +
    [(11, 1, 0xBD), (12, 1, 0xBB), (13, 2, 0x08)] + row(NAV_X, [0x2D, 0x24, 0x21], NAV_W),
    [(0, 1.5, 0x09)] + row(1.5, [letter(c) for c in "QWERTYUIOP"]) +
    [(11.5, 1, 0xDB), (12.5, 1, 0xDD), (13.5, 1.5, 0xDC)] + row(NAV_X, [0x2E, 0x23, 0x22], NAV_W),
    [(0, 1.75, 0x14)] + row(1.75, [letter(c) for c in "ASDFGHJKL"]) +
    [(10.75, 1, 0xBA), (11.75, 1, 0xDE), (12.75, 2.25, 0x0D)],
    [(0, 2.25, 0x10)] + row(2.25, [letter(c) for c in "ZXCVBNM"]) +
    [(9.25, 1, 0xBC), (10.25, 1, 0xBE), (11.25, 1, 0xBF), (NAV_X + NAV_W, NAV_W, 0x26)],
    [(0, 1.5, 0x11), (1.5, 1.25, 0x5B), (2.75, 1.25, 0x12), (4, 7, 0x20), (11, 1.25, 0x5D)] +
    row(NAV_X, [0x25, 0x28, 0x27], NAV_W),
]


def dialog_units(key_units):
    """Key units to dialog units, halves rounded up."""
    return int(key_units * UNIT_X + 0.5)


def control_ids():
    ids, next_id = [], FIRST_FREE_ID
    for vk in VKEYS:
        if vk in FIXED_IDS:
            ids.append(FIXED_IDS[vk])
        else:
            ids.append(next_id)
            next_id += 1
    return ids


def main():
    ids = control_ids()
    id_of = dict(zip(VKEYS, ids))
    placed = [vk for keys in ROWS for (_, _, vk) in keys]
    assert sorted(placed) == sorted(VKEYS), "every key placed once"

    lines = []
    place_of = {}
    for y, keys in enumerate(ROWS):
        for x, width, vk in keys:
            # Both edges from the key's place, so every gap is GAP wide.
            left = MARGIN + dialog_units(x)
            w = dialog_units(x + width) - dialog_units(x) - GAP
            top = MARGIN + y * UNIT_Y
            place_of[vk] = (left, top, w, UNIT_Y - GAP)
            lines.append('  CONTROL "", %d, "Button", BS_OWNERDRAW, %d, %d, %d, %d'
                         % ((id_of[vk],) + place_of[vk]))
    width = MARGIN * 2 + dialog_units(NAV_X + 3 * NAV_W) - GAP
    height = MARGIN * 2 + len(ROWS) * UNIT_Y
    with open(os.path.join(HERE, "soft_keyboard.rc"), "w", newline="\n") as rc:
        rc.write("// Written by make_soft_keyboard.py; edit the layout there.\n")
        rc.write("// The soft keyboard: a child of the PIN dialog that opens it.\n")
        rc.write("180 DIALOGEX 0, 0, %d, %d\n" % (width, height))
        rc.write("STYLE DS_SETFONT | DS_FIXEDSYS | WS_CHILD | WS_CAPTION | WS_SYSMENU"
                 " | WS_MINIMIZEBOX | WS_CLIPCHILDREN\n")
        rc.write('CAPTION ""\nFONT 9, "MS Shell Dlg", 0, 0, 0x1\nBEGIN\n')
        rc.write("\n".join(lines) + "\nEND\n")

    with open(KEYS_HEADER, "w", newline="\n") as h:
        h.write("// Written by tool/res/make_soft_keyboard.py; edit the layout there.\n")
        h.write("// The soft keyboard's key table: control identifier, virtual-key code and\n"
                "// place (in the template's dialog units) of each key, in table order.\n"
                "#pragma once\n#include <cstdint>\n\n"
                "namespace brevant {\n\n")
        h.write("struct SoftKey {\n  int id;\n  std::uint8_t virtual_key;\n"
                "  int x, y, width, height;  // dialog units\n};\n\n")
        h.write("inline constexpr int kSoftKeyboardDialog = 180;\n")
        h.write("inline constexpr int kSoftKeyboardWidth = %d, kSoftKeyboardHeight = %d;"
                "  // dialog units\n" % (width, height))
        h.write("inline constexpr int kSoftKeyCount = %d;\n" % len(VKEYS))
        h.write("inline constexpr int kFirstDigitKey = 20, kFirstLetterKey = 30;\n")
        for name, vk in (("Quit", 0x1B), ("Tab", 0x09), ("Shift", 0x10), ("Ctrl", 0x11),
                         ("Alt", 0x12), ("CapsLock", 0x14)):
            h.write("inline constexpr int k%sKeyId = %d;\n" % (name, FIXED_IDS[vk]))
        h.write("\ninline constexpr SoftKey kSoftKeys[kSoftKeyCount] = {\n")
        for i in range(0, len(VKEYS), 3):
            h.write("    " + " ".join("{%d, 0x%02X, %d, %d, %d, %d}," % ((ids[j], VKEYS[j]) + place_of[VKEYS[j]])
                                      for j in range(i, min(i + 3, len(VKEYS)))) + "\n")
        h.write("};\n\n}  // namespace brevant\n")


if __name__ == "__main__":
    main()
