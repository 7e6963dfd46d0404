#!/usr/bin/env python3
"""Writes the recorded-style byte streams of this folder (*.bin) and the repository's NMEA sample.

Deterministic (fixed seeds): running it again rewrites the same bytes. The streams imitate a
receiver on a moving car: NMEA 0183 sentences at 1 Hz or binary frames (DLE STX .. DLE ETX), with
the damage a serial line and a careless setup cause: noise, cut frames and lines, traffic of the
other protocol, other talkers, NUL bytes, overlong lines, bad lengths and checksums.

Usage: make-captures.py [--sample-only]
After changing a stream, regenerate the expected lines: VRN_REGENERATE=1 ctest -L tools
"""
import math
import os
import random
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))

DLE, STX, ETX = 0x10, 0x02, 0x03

# ---------------------------------------------------------------- a simple moving receiver

START_LAT, START_LON, HEIGHT = 51.98512, 5.89944, 14.2  # degrees, metres
SPEED_MPS, HEADING_DEG = 3.35, 74.6
WEEK = 2406
START_TOW = 296100  # seconds of week at the first epoch (a Friday morning)
DATE = "130226"


def position(t):
    north = SPEED_MPS * t * math.cos(math.radians(HEADING_DEG))
    east = SPEED_MPS * t * math.sin(math.radians(HEADING_DEG))
    lat = START_LAT + north / 111_250.0
    lon = START_LON + east / (111_320.0 * math.cos(math.radians(START_LAT)))
    return lat, lon


def ecef(lat, lon, h):
    a, f = 6378137.0, 1 / 298.257223563
    e2 = f * (2 - f)
    la, lo = math.radians(lat), math.radians(lon)
    n = a / math.sqrt(1 - e2 * math.sin(la) ** 2)
    return ((n + h) * math.cos(la) * math.cos(lo), (n + h) * math.cos(la) * math.sin(lo),
            (n * (1 - e2) + h) * math.sin(la))


SATELLITES = [  # prn, elevation, azimuth, snr, used
    (3, 67, 112, 45, True), (6, 41, 254, 43, True), (9, 23, 301, 38, True), (12, 55, 48, 46, True),
    (16, 12, 170, 31, False), (17, 34, 205, 40, True), (19, 8, 331, 0, False), (22, 29, 77, 39, True),
    (25, 5, 21, 0, False), (28, 48, 142, 44, True), (31, 17, 262, 35, False), (32, 3, 189, 0, False),
]


def drift(sat, t):
    prn, el, az, snr, used = sat
    return prn, max(0, el + (t // 20)), (az + t // 7) % 360, (snr + (t * prn) % 3 - 1) if snr else 0, used


# ---------------------------------------------------------------- NMEA sentences

def nmea(body):
    cs = 0
    for ch in body.encode():
        cs ^= ch
    return "$%s*%02X" % (body, cs)


def ddmm(value, width):
    deg = int(abs(value))
    minutes = (abs(value) - deg) * 60
    return "%0*d%08.5f" % (width, deg, minutes)


def utc(t):
    s = 10 * 3600 + 15 * 60 + 0 + t
    return "%02d%02d%02d.00" % (s // 3600 % 24, s // 60 % 60, s % 60)


def epoch_sentences(t, fix=True):
    lat, lon = position(t)
    sats = [drift(s, t) for s in SATELLITES]
    used = [s[0] for s in sats if s[4]] if fix else []
    knots = SPEED_MPS * 3600 / 1852 if fix else 0.0
    out = []
    if fix:
        out.append(nmea("GPGGA,%s,%s,N,%s,E,1,%02d,0.9,%.1f,M,46.9,M,,"
                        % (utc(t), ddmm(lat, 2), ddmm(lon, 3), len(used), HEIGHT + 0.1 * (t % 5))))
        out.append(nmea("GPGLL,%s,N,%s,E,%s,A,A" % (ddmm(lat, 2), ddmm(lon, 3), utc(t))))
    else:
        out.append(nmea("GPGGA,%s,,,,,0,00,99.99,,,,,," % utc(t)))
        out.append(nmea("GPGLL,,,,,%s,V,N" % utc(t)))
    prns = ["%02d" % p for p in used] + [""] * (12 - len(used))
    out.append(nmea("GPGSA,A,%d,%s,%s" % (3 if fix else 1, ",".join(prns),
                                        "1.6,0.9,1.3" if fix else "99.99,99.99,99.99")))
    visible = sats if fix else sats[:5]
    groups = [visible[i:i + 4] for i in range(0, len(visible), 4)]
    for n, group in enumerate(groups, 1):
        fields = ",".join("%02d,%02d,%03d,%s" % (p, e, a, ("%02d" % s) if s else "") for p, e, a, s, _ in group)
        out.append(nmea("GPGSV,%d,%d,%02d,%s" % (len(groups), n, len(visible), fields)))
    if fix:
        out.append(nmea("GPRMC,%s,A,%s,N,%s,E,%.2f,%.1f,%s,,,A" % (utc(t), ddmm(lat, 2), ddmm(lon, 3), knots,
                                                                   HEADING_DEG, DATE)))
        out.append(nmea("GPVTG,%.1f,T,,M,%.2f,N,%.2f,K,A" % (HEADING_DEG, knots, knots * 1.852)))
    else:
        out.append(nmea("GPRMC,%s,V,,,,,,,%s,,,N" % (utc(t), DATE)))
        out.append(nmea("GPVTG,,T,,M,,N,,K,N"))
    return out


# ---------------------------------------------------------------- binary messages

def frame(message):
    content = bytes([len(message) + 2]) + message + bytes([sum(message) & 0xFF])
    return raw_frame(content)


def raw_frame(content):
    out = bytearray([DLE, STX])
    for b in content:
        out.append(b)
        if b == DLE:
            out.append(DLE)
    out += bytes([DLE, ETX])
    return bytes(out)


def nav_message(t):
    lat, lon = position(t)
    x, y, z = ecef(lat, lon, HEIGHT)
    vn = SPEED_MPS * math.cos(math.radians(HEADING_DEG))
    ve = SPEED_MPS * math.sin(math.radians(HEADING_DEG))
    la, lo = math.radians(lat), math.radians(lon)
    vx = -math.sin(la) * math.cos(lo) * vn - math.sin(lo) * ve
    vy = -math.sin(la) * math.sin(lo) * vn + math.cos(lo) * ve
    vz = math.cos(la) * vn
    info = (12 << 4) | 8
    return struct.pack("<BHiiiihhhBh", 2, WEEK, (START_TOW + t) * 100, round(x), round(y), round(z),
                       round(vx * 10), round(vy * 10), round(vz * 10), info, 205)


def dop_message(t):
    return struct.pack("<BHiBBBBBB", 4, WEEK, (START_TOW + t) * 100, 18, 16, 9, 13, 8, 3)


def sv_message(t):
    entries = b"".join(struct.pack("<BBHBBB", ch, p, a, e, s * 3 if s else 0, 0x0F if u else 0x03)
                       for ch, (p, e, a, s, u) in enumerate(drift(s, t) for s in SATELLITES[:10]))
    return struct.pack("<BHiB", 6, WEEK, (START_TOW + t) * 100, 10) + entries


def meas_message(t):
    entries = b""
    for ch, (p, e, a, s, u) in enumerate(drift(s, t) for s in SATELLITES[:8]):
        entries += struct.pack("<HBBiih", (e << 9) | (p << 4) | ch, 70 if s else 20, 1,
                               20_000_000 + 150_000 * p + 700 * t, -3000 + 97 * p, -2500 + 311 * p)
    return struct.pack("<BHiHB", 8, WEEK, (START_TOW + t) * 100, 0x1010 + t, 3) + entries


def status_message(t):
    return struct.pack("<BihhihhiiiihB", 7, t, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0) + b"RUN 2.05 "


def subframe_message(t):
    words = [(0x22C000 + 97 * t + k * 0x1010) << 6 & 0x3FFFFFFF for k in range(10)]
    return struct.pack("<BB10I", 10, 3 + t % 5, *words)


def satdata_message(t):
    entries = b"".join(struct.pack("<BBdd", ch, p, 20_000_000.0 + 1000.5 * p + t, -321.75 + p)
                       for ch, (p, e, a, s, u) in enumerate(SATELLITES[:6]))
    return struct.pack("<BBhd", 12, 6, WEEK, START_TOW + t + 0.075) + entries


# ---------------------------------------------------------------- streams

def noise(rng, n):
    return bytes(rng.randrange(256) for _ in range(n))


def binary_stream():
    """Binary receiver on a moving car, with damage; a few NMEA lines from before the switch."""
    rng = random.Random(2406)
    out = bytearray()
    for s in epoch_sentences(0)[:3]:
        out += (s + "\r\n").encode()
    out += noise(rng, 40)
    for t in range(40):
        frames = [nav_message(t), dop_message(t), sv_message(t), meas_message(t)]
        if t % 5 == 0:
            frames += [status_message(t), subframe_message(t), satdata_message(t), bytes([11, 1, 2, 3])]
        for m in frames:
            f = frame(m)
            damage = rng.random()
            if damage < 0.04:
                out += f[: rng.randrange(3, len(f) - 2)]  # cut: the next frame's start drops it
            elif damage < 0.06:
                b = bytearray(f)
                b[rng.randrange(4, len(b) - 4)] ^= 0x5A  # corrupted on the line
                out += b
            elif damage < 0.07:
                out += f[:6] + bytes([DLE, 0x41]) + f[6:]  # a lone DLE: framing error
            else:
                out += f
        if t % 7 == 3:
            out += noise(rng, rng.randrange(5, 60))
        if t == 11:
            out += raw_frame(bytes([0x09]) + message_without_check(dop_message(t)))  # bad length
            out += raw_frame(bytes(range(1, 255)) + bytes(range(0, 60)))  # far too long
            out += bytes([DLE, STX, DLE, ETX])  # empty
        if t == 23:
            out += b"\x00" * 32 + (epoch_sentences(t)[0] + "\r\n").encode()
    out += frame(nav_message(40))[:-5]  # the recording stops inside a frame
    return bytes(out)


def message_without_check(message):
    return message + bytes([sum(message) & 0xFF])


def nmea_stream():
    """NMEA receiver on a moving car: CR LF lines, with damage and stray binary traffic."""
    rng = random.Random(1852)
    out = bytearray(b"\x00\xff$GPGSV,3,3,12,31,17,262,35,32,03,189,*7")  # started mid-line
    out += b"\r\n"
    for t in range(30):
        sentences = epoch_sentences(t)
        if t % 6 == 2:
            sentences.insert(1, nmea("GNGGA,%s,,,,,0,00,99.99,,,,,," % utc(t)))
            sentences.insert(2, nmea("PUBX,00,%s,,,,,NF,,,,,,,,,,,0,0,0" % utc(t)))
            sentences.append(nmea("GPZDA,%s,13,02,2026,00,00" % utc(t)))
        for s in sentences:
            line = (s + "\r\n").encode()
            damage = rng.random()
            if damage < 0.04:
                out += line[: rng.randrange(4, len(line) - 2)]  # cut: runs into the next line
            elif damage < 0.06:
                out += line[:-2] + b"\rX\r\n"  # a stray byte after the CR
            elif damage < 0.08:
                out += line[:-2] + b"\n"  # LF only
            else:
                out += line
        if t % 8 == 5:
            out += frame(nav_message(t)) + frame(sv_message(t))  # binary output switched on briefly
        if t % 9 == 4:
            out += noise(rng, rng.randrange(10, 80))
        if t == 17:
            out += b"$GPRMC," + b"9" * 300 + b"\r\n"  # overlong
            out += b"$GPGSV,1,1,04,,,,,,,,,,,,,,,*79\r\n"  # empty groups
            out += b"$GP\r\n$\r\n$G\r\n"
    out += (epoch_sentences(30)[0] + "\r\n").encode()[:30]  # the recording stops mid-line
    return bytes(out)


def cold_start_stream():
    """NMEA receiver starting cold: no fix for a while, then a fix; LF line ends only."""
    out = bytearray()
    for t in range(12):
        for s in epoch_sentences(t, fix=t >= 8):
            out += (s + "\n").encode()
    return bytes(out)


def sample_nmea():
    out = bytearray()
    for t in range(8):
        for s in epoch_sentences(t):
            out += (s + "\r\n").encode()
    return bytes(out)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def main():
    write(os.path.join(ROOT, "samples", "sample-nmea.txt"), sample_nmea())
    if "--sample-only" in sys.argv:
        return
    write(os.path.join(HERE, "moving-binary-damaged.bin"), binary_stream())
    write(os.path.join(HERE, "moving-nmea-damaged.bin"), nmea_stream())
    write(os.path.join(HERE, "cold-start-nmea-lf.bin"), cold_start_stream())


if __name__ == "__main__":
    main()
