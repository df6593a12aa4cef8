#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into corpus/<target>/: a few small
valid files of each kind (and near misses), so fuzzing starts from the shapes the
readers accept. Run once; the output is committed. Needs sox, lame, oggenc, flac,
opusenc and ffmpeg. Names of targets on the command line make only their seeds."""
import math
import os
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def put(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def pcm(frames, channels=2, rate=44100, hz=440.0):
    out = bytearray()
    for i in range(frames):
        v = int(9000 * math.sin(2 * math.pi * hz * i / rate))
        out += struct.pack("<h", v) * channels
    return bytes(out)


def wav(data, channels=2, rate=44100, bits=16, extra=b""):
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * channels * bits // 8,
                      channels * bits // 8, bits)
    body = b"WAVEfmt " + struct.pack("<I", 16) + fmt + extra + b"data" + \
        struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


def wav_seeds():
    audio = pcm(200)
    put("wav", "canonical.wav", wav(audio))
    put("wav", "list_chunk.wav", wav(audio, extra=b"LIST" + struct.pack("<I", 26) + b"INFOISFT" +
                                     struct.pack("<I", 14) + b"sonavel-seed\0\0"))
    put("wav", "data_too_long.wav", wav(audio)[:-100])
    put("wav", "mono.wav", wav(pcm(100, channels=1), channels=1))


def encoded_seeds():
    with tempfile.TemporaryDirectory() as tmp:
        stereo = os.path.join(tmp, "stereo.wav")
        mono = os.path.join(tmp, "mono.wav")
        with open(stereo, "wb") as f:
            f.write(wav(pcm(4410)))
        with open(mono, "wb") as f:
            f.write(wav(pcm(2205, channels=1, rate=22050), channels=1, rate=22050))
        for source, name in ((stereo, "stereo"), (mono, "mono22k")):
            mp3 = os.path.join(tmp, name + ".mp3")
            subprocess.run(["lame", "--quiet", "-b", "32", source, mp3], check=True)
            put("mp3", name + ".mp3", open(mp3, "rb").read())
            ogg = os.path.join(tmp, name + ".ogg")
            subprocess.run(["oggenc", "--quiet", "-q", "-1", "-o", ogg, source], check=True)
            put("ogg", name + ".ogg", open(ogg, "rb").read())


def bmp(width, height):
    stride = (width * 3 + 3) & ~3
    rows = bytearray()
    for y in range(height):
        row = bytearray()
        for x in range(width):
            row += bytes(((x * 40) & 255, (y * 60) & 255, 128))
        rows += row + b"\0" * (stride - len(row))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2834, 2834, 0, 0)
    header = b"BM" + struct.pack("<IHHI", 14 + len(info) + len(rows), 0, 0, 54)
    return header + info + bytes(rows)


def skin_seeds():
    picture = bmp(5, 3)
    put("skin", "small.bmz", b"CMP\0" + struct.pack("<I", len(picture)) + zlib.compress(picture))
    put("skin", "wide.bmz", b"CMP\0" + struct.pack("<I", 0) + zlib.compress(bmp(60, 2)))
    put("skin", "picture.bmp", picture)


def song_header(version, records):
    out = bytearray([version])
    for r in records:
        out += r
    return bytes(out)


def song_seeds():
    v2 = []
    for n in range(1, 9):
        name = ("Track %d" % n).ljust(21).encode()
        loop_on = 1 if n % 2 else 0
        v2.append(struct.pack("<Bb", n % 2, 10 * n) + name +
                  struct.pack("<BBii", n % 3 == 0, loop_on, 4 * n, 176400 * n + 4 * n))
    audio = pcm(500)
    put("song", "version2.svl", song_header(2, v2) + audio)
    v1 = [struct.pack("<Bb", 1, 95) + ("Old %d" % n).ljust(21).encode() for n in range(1, 9)]
    put("song", "version1.svl", song_header(1, v1))
    hostile = []
    for n in range(1, 9):
        hostile.append(struct.pack("<Bb", 7, -5) + b"\0\x7f\x80" * 7 +
                       struct.pack("<BBii", 9, 1, -176400 * n, 2**31 - n))
    put("song", "hostile.svl", song_header(2, hostile) + struct.pack("<i", -3) * 9)
    put("song", "empty.svl", b"")


def sniff_seeds():
    """The first bytes of each kind of file, as the import reads them."""
    fmt = struct.pack("<HHIIHH", 1, 2, 44100, 176400, 4, 16)
    put("sniff", "wave.bin", b"RIFF\x24\0\0\0WAVEfmt \x10\0\0\0" + fmt + b"data\0\0\0\0")
    put("sniff", "aiff.bin", b"FORM\0\0\0\x20AIFCFVER")
    put("sniff", "flac.bin", b"fLaC\0\0\0\x22")
    ogg = b"OggS\0\x02" + b"\0" * 20 + b"\x01\x1e"
    put("sniff", "vorbis.bin", ogg + b"\x01vorbis")
    put("sniff", "opus.bin", ogg + b"OpusHead")
    frame = b"\xff\xfb\x90\x64" + b"\0" * 413
    put("sniff", "mpeg.bin", b"junk" + frame * 3)
    put("sniff", "id3.bin", b"ID3\x04\0\x10\0\0\0\x05" + b"\0" * 15 + b"fLaC")


def sound_seeds():
    """Tiny files of every kind libsndfile reads for the import."""
    with tempfile.TemporaryDirectory() as tmp:
        stereo = os.path.join(tmp, "stereo.wav")
        with open(stereo, "wb") as f:
            f.write(wav(pcm(64)))
        made = {
            "float.wav": ["sox", stereo, "-e", "floating-point", "-b", "32"],
            "wavex24.wav": ["sox", stereo, "-b", "24", "-r", "48000"],
            "ima.wav": ["sox", stereo, "-e", "ima-adpcm", "-c", "1"],
            "pcm.aiff": ["sox", stereo, "-b", "16"],
            "pcm.aifc": ["sox", stereo, "-t", "aifc"],
        }
        for name, command in made.items():
            out = os.path.join(tmp, name)
            subprocess.run(command + [out], check=True)
            put("sound", name, open(out, "rb").read())
        flac = os.path.join(tmp, "t.flac")
        subprocess.run(["flac", "-s", "--no-padding", "-o", flac, stereo], check=True)
        put("sound", "tiny.flac", open(flac, "rb").read())
        opus = os.path.join(tmp, "t.opus")
        subprocess.run(["opusenc", "--quiet", "--bitrate", "6", stereo, opus], check=True)
        put("sound", "tiny.opus", open(opus, "rb").read())


def ffmpeg_seeds():
    """Tiny files of the kinds only FFmpeg reads for the import."""
    source = ["-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=0.05"]
    made = {
        "aac.m4a": ["-c:a", "aac", "-b:a", "16k"],
        "alac.m4a": ["-c:a", "alac"],
        "adts.aac": ["-c:a", "aac", "-b:a", "16k", "-f", "adts"],
        "opus.webm": ["-c:a", "libopus", "-b:a", "6k"],
        "vorbis.mka": ["-c:a", "libvorbis"],
        "wma.wma": ["-c:a", "wmav2"],
        "ac3.ac3": ["-c:a", "ac3", "-b:a", "32k"],
    }
    with tempfile.TemporaryDirectory() as tmp:
        for name, codec in made.items():
            out = os.path.join(tmp, name)
            subprocess.run(["ffmpeg", "-v", "error", "-y"] + source + ["-ac", "1"] + codec +
                           ["-fflags", "+bitexact", out], check=True)
            put("ffmpeg", name, open(out, "rb").read())


SEEDS = {"wav": wav_seeds, "mp3": encoded_seeds, "ogg": encoded_seeds, "skin": skin_seeds,
         "song": song_seeds, "sniff": sniff_seeds, "sound": sound_seeds, "ffmpeg": ffmpeg_seeds}

if __name__ == "__main__":
    for make in dict.fromkeys(SEEDS[t] for t in (sys.argv[1:] or SEEDS)):
        make()
