"""The unit's flash layout (the file `layout` beside this module) and what
the boot chain finds in it: shared by the factory programmer, the boot
loader stand-in and the partition table."""

import os
import struct
import zlib

FLASH_BYTES = 64 * 1024 * 1024
ERASE_BLOCK = 256 * 1024
MTD_ID = "34000000.flash"
ERASED = 0xFF

_LAYOUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "layout")


class Partition:
    def __init__(self, number, name, offset, size, image):
        self.number, self.name, self.offset, self.size, self.image = number, name, offset, size, image

    def read(self, flash):
        flash.seek(self.offset)
        return flash.read(self.size)


def partitions():
    result, offset = [], 0
    with open(_LAYOUT) as layout:
        for line in layout:
            if not line.strip() or line.startswith("#"):
                continue
            name, size_kib, image = line.split()
            size = FLASH_BYTES - offset if size_kib == "-" else int(size_kib) * 1024
            result.append(Partition(len(result), name, offset, size, None if image == "-" else image))
            offset += size
    return result


def mtdparts():
    parts = ["%s(%s)" % ("-" if p is partitions()[-1] else "%dk" % (p.size // 1024), p.name)
             for p in partitions()]
    return "mtdparts=%s:%s" % (MTD_ID, ",".join(parts))


def by_name(name):
    return next(p for p in partitions() if p.name == name)


# The bootstrap and the boot loader carry a header that the ROM and the
# bootstrap check before they run them: a magic word, the payload's length
# and its CRC-32.
BOOT_HEADER = struct.Struct("<4sII")
BOOTSTRAP_MAGIC = b"LBS1"
UBOOT_MAGIC = b"LUB1"


def boot_image(magic, payload):
    return BOOT_HEADER.pack(magic, len(payload), zlib.crc32(payload)) + payload


def boot_image_fault(magic, data):
    """None when `data` begins with a whole, intact boot image, else why not."""
    if len(data) < BOOT_HEADER.size:
        return "too short"
    found, length, crc = BOOT_HEADER.unpack_from(data)
    if found != magic:
        return "blank" if data[:BOOT_HEADER.size] == bytes([ERASED]) * BOOT_HEADER.size else "no header"
    payload = data[BOOT_HEADER.size:BOOT_HEADER.size + length]
    if len(payload) != length or zlib.crc32(payload) != crc:
        return "checksum mismatch"
    return None


def boot_image_payload(data):
    _, length, _ = BOOT_HEADER.unpack_from(data)
    return data[BOOT_HEADER.size:BOOT_HEADER.size + length]


# The boot loader's environment, as U-Boot keeps it: a CRC-32 of the data
# area, then "name=value" texts each ended by a NUL, then a second NUL.
def environment(values, size):
    text = b"".join(("%s=%s" % item).encode() + b"\0" for item in values.items()) + b"\0"
    data = text.ljust(size - 4, b"\0")
    return struct.pack("<I", zlib.crc32(data)) + data


def read_environment(data):
    (crc,) = struct.unpack_from("<I", data)
    area = data[4:]
    if zlib.crc32(area) != crc:
        return None
    values = {}
    for item in area.split(b"\0"):
        if not item:
            break
        name, _, value = item.decode("latin-1").partition("=")
        values[name] = value
    return values


def zimage_length(data):
    """The length of the ARM zImage at the start of `data`, or None."""
    if len(data) < 0x30:
        return None
    magic, start, end = struct.unpack_from("<III", data, 0x24)
    if magic != 0x016F2818 or end <= start or end - start > len(data):
        return None
    return end - start


def dtb_length(data):
    """The length of the flattened device tree at the start of `data`, or None."""
    if len(data) < 8:
        return None
    magic, total = struct.unpack_from(">II", data)
    if magic != 0xD00DFEED or total > len(data) or total < 40:
        return None
    return total
