#!/usr/bin/python3
"""Writes the golden files of the flash format tests.

An independent writer of the three formats, so that the expected files do not come from the code under
test. Run it from this folder; it rewrites every file it owns.
"""
import binascii

CRLF = b"\r\n"

IDENT = bytes.fromhex("0123456789" + "2A" + "5A4550" + "1122334455" + "6677" + "8899" + "AABB" + "CCDDEEFF")
TOLMAK_IDENT = bytes.fromhex("A1A2A3A4A5" + "07" + "544F4C" + "B1B2B3B4B5" + "C1C2" + "D1D2" + "E1E2" + "F1F2F3F4")


def srec(kind, data):
    body = bytes([len(data) + 1]) + data
    return kind.encode() + (body + bytes([~sum(body) & 0xFF])).hex().upper().encode() + CRLF


def s0(kind, data):
    return srec("S0", bytes([0, 0, kind]) + data)


def ihex(rtype, offset, data):
    body = bytes([len(data), offset >> 8, offset & 0xFF, rtype]) + data
    return b":" + (body + bytes([-sum(body) & 0xFF])).hex().upper().encode()


def pattern(n, seed):
    return bytes((seed + 7 * i) & 0xFF for i in range(n))


def s_export(ident, ident_kind, approval, marker, ibd, rrd, exponent, erase, wg, blocks):
    out = s0(ident_kind, ident) + s0(ident_kind + 1, bytes.fromhex(approval))
    out += s0(3, bytes([marker])) + s0(4, bytes([ibd, 0, rrd])) + s0(5, bytes([exponent, erase]))
    out += s0(6, bytes([0 if wg == 256 else wg]))
    for address, data in blocks:
        for i in range(0, len(data), 32):
            a = address + i
            out += srec("S2", bytes([a >> 16 & 0xFF, a >> 8 & 0xFF, a & 0xFF]) + data[i:i + 32])
    return out + b"S804000000FB" + CRLF


# valdore.s: what the S-record export writes for the record the tests build (tuning, 4 x FF, 256).
VALDORE_BLOCKS = [(0x010000, pattern(70, 1)), (0x010046, bytes.fromhex("DEADBE")), (0xFFFFFB, pattern(5, 0x90))]
open("valdore.s", "wb").write(
    s_export(IDENT, 1, "9876543210", 0x81, 5, 20, 2, 0xFF, 256, VALDORE_BLOCKS))

# both-makers.s: an input with both makers, S1/S2/S3 data, end records, a blank line and trailing blanks.
both = s0(7, TOLMAK_IDENT) + s0(8, bytes.fromhex("0A0B0C0D0E"))
both += s0(1, IDENT) + s0(2, bytes.fromhex("1122334455"))
both += s0(3, bytes([0x82])) + s0(4, bytes([9, 0x77, 30])) + s0(5, bytes([3, 0x00]))
both += s0(6, bytes([0x40, 0x12]))  # a request-length record may carry more bytes
both += srec("S1", bytes([0x12, 0x34]) + pattern(16, 3))
both += CRLF
both += srec("S2", bytes([0x05, 0x00, 0x00]) + pattern(20, 4))[:-2] + b"   " + CRLF
both += srec("S3", bytes([0x00, 0xAB, 0xCD, 0xE0]) + pattern(8, 5))
both += srec("S7", bytes(4)) + srec("S8", bytes(3)) + srec("S9", bytes(2))
open("both-makers.s", "wb").write(both)
# ... read with the answer NO and written for a TOLMAK ECU:
open("both-makers.tolmak.s", "wb").write(s_export(
    TOLMAK_IDENT, 7, "0A0B0C0D0E", 0x82, 9, 30, 3, 0x00, 0x40,
    [(0x1234, pattern(16, 3)), (0x050000, pattern(20, 4)), (0xABCDE0, pattern(8, 5))]))

# segments.hex: extended segment and linear records, an end record in the middle, lower-case digits,
# lines that cross 64 KiB pages.
seg = [ihex(2, 0, bytes.fromhex("1000")), ihex(0, 0x0010, pattern(16, 6)), ihex(1, 0, b"")]
seg += [ihex(0, 0x0020, bytes.fromhex("CAFEF00D")).lower()]
seg += [ihex(4, 0, bytes.fromhex("0001")), ihex(0, 0xFFF0, pattern(32, 7))]
seg += [ihex(4, 0, bytes.fromhex("0002")), ihex(0, 0xFFF0, pattern(40, 8)), ihex(1, 0, b"")]
open("segments.hex", "wb").write(CRLF.join(seg) + CRLF)

h86 = [b":020000040000FA", ihex(4, 0, bytes.fromhex("0001")), ihex(0, 0x0010, pattern(16, 6))]
h86 += [ihex(0, 0x0020, bytes.fromhex("CAFEF00D")), ihex(0, 0xFFF0, pattern(32, 7))]
h86 += [ihex(4, 0, bytes.fromhex("0002")), ihex(0, 0xFFF0, pattern(32, 8))]
h86 += [ihex(4, 0, bytes.fromhex("0003")), ihex(0, 0x0010, pattern(40, 8)[32:]), b":00000001FF"]
open("segments.expected.h86", "wb").write(CRLF.join(h86))


# app.kwp: the request stream of an application for an ECU at 6A of identification type 1 (tester FC),
# erase unit 4 x FF, downloads of at most 64 bytes; app.kwp.txt: its text dump.
def frame(target, source, data):
    head = bytes([0x80 + len(data), target, source]) if len(data) < 64 else bytes([0x80, target, source, len(data)])
    f = head + data
    return f + bytes([sum(f) & 0xFF])


def download(marker, address, data):
    d = bytes([0x34, marker, address >> 16, address >> 8 & 0xFF, address & 0xFF, len(data)]) + data
    crc = binascii.crc_hqx(d, 0xFFFF)  # CRC-16/CCITT-FALSE
    return d + bytes([crc >> 8, crc & 0xFF])


block1 = b"\xFF" * 10 + pattern(90, 9)  # 100 bytes at 012340: 8 erased bytes skipped, then 64 + 28
block3 = pattern(56, 10)                # 56 bytes at 030000: the first length in the long form
frames = [frame(0x6A, 0, IDENT + bytes.fromhex("9876543210") + bytes([0x82, 3, 0, 25]))]
frames += [frame(0x6A, 0xFC, download(0x82, 0x012348, block1[8:72]))]
frames += [frame(0x6A, 0xFC, download(0x82, 0x012388, block1[72:]))]
frames += [frame(0x6A, 0xFC, download(0x82, 0x030000, block3))]
open("app.kwp", "wb").write(b"".join(frames))
open("app.kwp.txt", "wb").write(b"".join(f.hex().upper().encode() + CRLF for f in frames))
