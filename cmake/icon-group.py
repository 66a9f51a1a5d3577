#!/usr/bin/env python3
"""icon-group.py ICO FIRST_ID OUTPUT: an icon group resource (RT_GROUP_ICON)
naming the images of ICO as the icon resources FIRST_ID, FIRST_ID + 1, ...,
which windres gives them when ICO is the first ICON statement of the script.
A second group over the same images then costs 14 bytes an image instead of
a copy of every image."""
import struct
import sys


def main(ico_path, first_id, out_path):
    with open(ico_path, "rb") as f:
        data = f.read()
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1 or count == 0:
        sys.exit(f"{ico_path}: not an icon file")
    group = struct.pack("<HHH", 0, 1, count)
    for i in range(count):
        width, height, colours, zero, planes, bits, size, _offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        group += struct.pack("<BBBBHHIH", width, height, colours, zero, planes, bits, size, first_id + i)
    with open(out_path, "wb") as f:
        f.write(group)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(sys.argv[1], int(sys.argv[2]), sys.argv[3])
