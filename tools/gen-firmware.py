#!/usr/bin/env python3
"""Writes the built-in firmware image, resources/APP/appbin.txt.

The hub's boot loader takes enciphered data, so the image carries pseudo-random bytes from a
fixed seed: the same output on every run, byte for byte. Run it by hand and commit the result;
the build only embeds the committed file.

Layout: 625 type-1 records from 0x2000, 16 bytes apart, one jump forward between the 12th and
13th record; the 13th and the last data record hold 4 data bytes, the others 16; then a type-9
end record carrying the start address. Every line is padded with hex characters to 48 characters
and ended by CR LF.
"""

import pathlib
import sys

LINE_LENGTH = 48
RECORD_COUNT = 625
BASE_ADDRESS = 0x2000
ADDRESS_STEP = 16
JUMP_AFTER = 12          # records before the jump
JUMP_TARGET = 0x2400     # address of the 13th record
SHORT_RECORDS = {13, RECORD_COUNT}  # 1-based record numbers with 4 data bytes
START_ADDRESS = 0x2000
SEED = 0x1115_0906


class XorShift32:
    """Tiny PRNG of our own, so the output never depends on the Python version."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF or 1

    def next(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x

    def byte(self):
        return self.next() >> 24


def record(rtype, address, data):
    count = 2 + len(data) + 1
    body = bytes([count, address >> 8, address & 0xFF]) + bytes(data)
    check = ~sum(body) & 0xFF
    return ":%d%s%02X" % (rtype, body.hex().upper(), check)


def pad(line, rng):
    while len(line) < LINE_LENGTH:
        line += "%X" % (rng.byte() & 0x0F)
    return line


def build():
    rng = XorShift32(SEED)
    lines = []
    address = BASE_ADDRESS
    for number in range(1, RECORD_COUNT + 1):
        if number == JUMP_AFTER + 1:
            address = JUMP_TARGET
        size = 4 if number in SHORT_RECORDS else 16
        data = [rng.byte() for _ in range(size)]
        lines.append(pad(record(1, address, data), rng))
        address += ADDRESS_STEP
    lines.append(pad(record(9, START_ADDRESS, []), rng))
    for line in lines:
        assert len(line) == LINE_LENGTH and address <= 0x10000
    return "".join(line + "\r\n" for line in lines).encode("ascii")


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    out = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else root / "resources/APP/appbin.txt"
    out.write_bytes(build())


if __name__ == "__main__":
    main()
