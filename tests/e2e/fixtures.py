"""Files a user would have in a sound folder: WAVE files, LZH and ZIP
archives with Shift-JIS names, a damaged archive."""

import math
import os
import struct
import subprocess
import wave

# 音のテスト.wav and ベル.wav; archives made on Japanese systems store such
# names in Shift-JIS.
JAPANESE_NAMES = ["音のテスト.wav", "ベル.wav"]


def make_wave(path, seconds=1.5, frequency=440.0, rate=44100):
    frames = int(seconds * rate)
    data = bytearray()
    for i in range(frames):
        data += struct.pack("<h", int(12000 * math.sin(2 * math.pi * frequency * i / rate)))
    with wave.open(os.fsdecode(path) if isinstance(path, bytes) else path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(bytes(data))
    return path


def _run(args, cwd, env=None):
    result = subprocess.run(args, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env, timeout=120)
    if result.returncode != 0:
        raise RuntimeError(f"{' '.join(args)}: {result.stdout.decode(errors='replace')}")


def make_sources(folder, names, seconds=0.5):
    os.makedirs(folder, exist_ok=True)
    for n, name in enumerate(names):
        make_wave(os.path.join(folder, name), seconds=seconds, frequency=330.0 + 110 * n)
    return folder


def make_lzh(path, folder, names):
    """An LZH archive made by jlha, its names stored in Shift-JIS."""
    env = dict(os.environ, JAVA_TOOL_OPTIONS="-Dlha.encoding=Windows-31J", LANG="C.UTF-8")
    _run(["jlha", "a", os.path.abspath(path), *names], cwd=folder, env=env)
    with open(path, "rb") as f:
        stored = f.read()
    for name in names:
        if name.encode("cp932") not in stored:
            raise RuntimeError(f"jlha did not store {name} in Shift-JIS")
    return path


def make_zip(path, folder, names):
    """A ZIP archive made by bsdtar with Shift-JIS names and no UTF-8 flag."""
    _run(["bsdtar", "--format", "zip", "--options", "zip:hdrcharset=CP932", "-cf", os.path.abspath(path), *names],
         cwd=folder)
    with open(path, "rb") as f:
        stored = f.read()
    for name in names:
        if name.encode("cp932") not in stored:
            raise RuntimeError(f"bsdtar did not store {name} in Shift-JIS")
    return path


def make_damaged_zip(path, source_zip):
    """The first kilobyte of a real archive followed by noise: no central directory, broken members."""
    with open(source_zip, "rb") as f:
        head = f.read(64)
    with open(path, "wb") as f:
        f.write(head[:30] + bytes((i * 37 + 11) % 251 for i in range(2000)))
    return path
