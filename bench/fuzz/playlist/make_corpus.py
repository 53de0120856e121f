#!/usr/bin/env python3
"""Writes the seed corpora of fuzz_m3u and fuzz_describe (run once; the output
is committed). Every MP3 here is built byte by byte: silent MPEG frames behind
hand-made ID3 tags, covering each tag layout the reader distinguishes."""
import os
import struct
import zlib

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "corpus")


def syncsafe(n):
    return bytes([(n >> 21) & 127, (n >> 14) & 127, (n >> 7) & 127, n & 127])


def frame(major, fid, body, flags=0):
    if major == 2:
        return fid.encode() + struct.pack(">I", len(body))[1:] + body
    size = syncsafe(len(body)) if major == 4 else struct.pack(">I", len(body))
    return fid.encode() + size + struct.pack(">H", flags) + body


def tag(major, frames, flags=0, padding=0):
    body = b"".join(frames) + b"\0" * padding
    return b"ID3" + bytes([major, 0, flags]) + syncsafe(len(body)) + body


def latin(s):
    return b"\0" + s.encode("latin-1")


def utf16(s):
    return b"\1\xff\xfe" + s.encode("utf-16-le")


def mpeg_frames(count, header=b"\xff\xfb\x90\x64", length=417):
    return (header + b"\0" * (length - 4)) * count


def xing_frame(frames):
    body = b"\0" * 32 + b"Xing" + struct.pack(">II", 1, frames)
    return b"\xff\xfb\x90\x64" + body + b"\0" * (417 - 4 - len(body))


def vbri_frame(frames):
    body = b"\0" * 32 + b"VBRI" + struct.pack(">HHHII", 1, 0, 75, 100000, frames)
    return b"\xff\xfb\x90\x64" + body + b"\0" * (417 - 4 - len(body))


def id3v1(title, artist):
    return (b"TAG" + title.encode("latin-1").ljust(30, b" ") + artist.encode("latin-1").ljust(30, b" ")
            + b"\0" * 30 + b"2001" + b"\0" * 30 + b"\xff")


def compressed(body, declared=None):
    data = zlib.compress(body)
    return struct.pack(">I", len(body) if declared is None else declared) + data


AUDIO = mpeg_frames(12)
DESCRIBE = {
    "v23_latin": tag(3, [frame(3, "TPE1", latin("Artist")), frame(3, "TIT2", latin("Caf\xe9"))]) + AUDIO,
    "v23_utf16_long": tag(3, [frame(3, "TIT2", utf16("A title of many UTF-16 characters"))]) + AUDIO,
    "v23_compressed": tag(3, [frame(3, "TIT2", compressed(latin("Packed")), 0x0080)]) + AUDIO,
    "v23_compressed_bad": tag(3, [frame(3, "TIT2", struct.pack(">I", 40) + b"\x78\x9c\xff\xff", 0x0080)]) + AUDIO,
    "v23_compressed_huge": tag(3, [frame(3, "TPE1", compressed(latin("X"), 0xFFFFFFF0), 0x0080)]) + AUDIO,
    "v23_unsync_ext": tag(3, [struct.pack(">IHHI", 6, 0, 0, 0)[:10], frame(3, "TIT2", latin("\xff\0Unsync"))], 0xC0) + AUDIO,
    "v23_grouped_encrypted": tag(3, [frame(3, "TPE1", b"\x01" + latin("G"), 0x0020), frame(3, "TIT2", b"\x80" + latin("E"), 0x0040)]) + AUDIO,
    "v24_utf8_dli": tag(4, [frame(4, "TPE1", syncsafe(6) + "\x03Gr\u00fc\u00df".encode("utf-8")[:1] + "Gr\u00fc\u00df".encode(), 0x0001),
                            frame(4, "TIT2", b"\x03" + "\u65e5\u672c".encode())]) + AUDIO,
    "v24_utf16be_unsync": tag(4, [frame(4, "TIT2", b"\x02" + "\u00ff\u00e9".encode("utf-16-be"), 0x0002)], 0x80) + AUDIO,
    "v24_compressed_footer": tag(4, [frame(4, "TIT2", syncsafe(5) + zlib.compress(latin("Zip4")), 0x0009)], 0x10) + b"3DI\x04\0\x10\0\0\0\0" + AUDIO,
    "v22_cdm": tag(2, [frame(2, "CDM", b"z" + struct.pack(">I", 100) + b"\x78\x9c"), frame(2, "TP1", latin("Old")), frame(2, "TT2", utf16("Two"))]) + AUDIO,
    "v1_only": AUDIO + id3v1("Only V1", "Someone"),
    "v2_and_v1": tag(3, [frame(3, "TIT2", latin("V2 title"))], padding=64) + AUDIO + id3v1("V1 title", "V1 artist"),
    "xing": tag(3, [frame(3, "TIT2", latin("Xing"))]) + xing_frame(1000) + AUDIO,
    "vbri": vbri_frame(500) + AUDIO,
    "mpeg2_l3": mpeg_frames(20, b"\xff\xf3\x64\xc4", 208),
    "truncated_tag": tag(3, [frame(3, "TIT2", latin("Cut short"))])[:18],
    "junk_then_frames": b"\0\x01junk\xff\xe0" + AUDIO,
}

M3U = {
    "written": b"\xef\xbb\xbf#EXTM3U\r\n\r\n#EXTINF:185,Artist : Song\r\n/music/a.mp3\r\n#EXTINF:0,\r\nb.wav\r\n",
    "plain_lf": b"#EXTM3U\n#EXTINF:12,One\none.mp3\ntwo.mp3\n",
    "utf16le": "\ufeff#EXTM3U\r\n#EXTINF:-1,Str\u00e9am\r\nhttp://host/stream\r\n".encode("utf-16-le"),
    "utf16be": "\ufeff#EXTM3U\n#EXTINF:7,\u65e5\u672c\n/m/\u65e5.mp3\n".encode("utf-16-be"),
    "extinf_edges": b"#EXTINF:  +42 , spaced title  \n a.mp3 \n#EXTINF:5,First\n#EXTINF:9\nb.mp3\n"
                    b"#EXTINF:99999999999,Big\nc.mp3\n#EXTINF:,NoNumber\nd.mp3\n#EXTINF:x,NoComma\ne.mp3\n",
    "other_tags": b"#EXTM3U\n#EXTGRP:group\n#PLAYLIST:name\n#extinf:3,lower\nf.mp3\n",
    "long_line": b"#EXTINF:1,Long\n/" + b"p" * 1500 + b".mp3\n",
    "bad_utf8": b"#EXTINF:1,\xff\xfe\xc3\n\xc0\xafpath.mp3\r\n\r\n\r",
    "hash_paths": b"./#not a comment.mp3\n\t./ leading blank.mp3\n",
}


def write(kind, files):
    folder = os.path.join(ROOT, kind)
    os.makedirs(folder, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


write("describe", DESCRIBE)
write("m3u", M3U)
