#!/usr/bin/python3
"""Build helper for the payload programs.

  standin_tool.py data KIND TAG OUT --size N
      writes N bytes of data resource (N a multiple of 8)
  standin_tool.py data KIND TAG OUT --probe PE --probe-size N0 --target SIZE
      writes the data resource that makes the program SIZE bytes long, measured on PE, a link
      of the same program carrying an N0-byte data resource
  standin_tool.py finish PE OUT --size SIZE --kind exe|dll [--machine i386|x64] [--forbid TEXT ...]
      checks the linked program and copies it to OUT; fails if anything is off

KIND is "text" (the console's help text, code page 936) or "table" (a binary data table).
Everything is derived from the arguments only, so the output is the same on every build.
"""
import argparse
import os
import struct
import sys

MACHINES = {"i386": 0x14C, "x64": 0x8664}
OPTIONAL_HEADER_MAGIC = {"i386": 0x10B, "x64": 0x20B}
IMAGE_FILE_DLL = 0x2000
IMAGE_FILE_RELOCS_STRIPPED = 0x0001
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE = 0x0040
DIR_EXPORT, DIR_RESOURCE, DIR_BASERELOC = 0, 2, 5


class BuildError(Exception):
    pass


def align(value, to):
    return (value + to - 1) // to * to


class PeImage:
    """The headers of a PE file: PE32 (i386) or PE32+ (x64, the 64-bit test twin's)."""

    def __init__(self, data):
        self.data = data
        if len(data) < 0x40 or data[:2] != b"MZ":
            raise BuildError("no MZ header")
        self.pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[self.pe:self.pe + 4] != b"PE\0\0":
            raise BuildError("no PE signature")
        (self.machine, self.nsections, self.timestamp, _, _, self.opt_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, self.pe + 4)
        opt = self.pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        if self.magic not in (0x10B, 0x20B):
            raise BuildError("not a PE32 or PE32+ image (optional header magic %#x)" % self.magic)
        self.section_alignment, self.file_alignment = struct.unpack_from("<II", data, opt + 32)
        self.size_of_image, self.size_of_headers, self.checksum = struct.unpack_from(
            "<III", data, opt + 56)
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", data, opt + 68)
        dirs = opt + (96 if self.magic == 0x10B else 112)
        count = struct.unpack_from("<I", data, dirs - 4)[0]
        self.dirs = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(count)]
        self.sections = []
        table = opt + self.opt_size
        for i in range(self.nsections):
            raw = struct.unpack_from("<8sIIIIIIHHI", data, table + 40 * i)
            name = raw[0].rstrip(b"\0").decode("ascii", "replace")
            self.sections.append({"name": name, "vsize": raw[1], "va": raw[2],
                                  "rawsize": raw[3], "rawptr": raw[4]})

    def section(self, name):
        for s in self.sections:
            if s["name"] == name:
                return s
        raise BuildError("no %s section" % name)

    def end_of_sections(self):
        return max([s["rawptr"] + s["rawsize"] for s in self.sections if s["rawsize"]] +
                   [self.size_of_headers])


def read_image(path):
    with open(path, "rb") as f:
        return PeImage(f.read())


# ---------------------------------------------------------------------------------------
# Data resources

COMMANDS = ["签到", "抽签", "今日运势", "点歌", "天气", "翻译", "猜数字", "成语接龙", "讲笑话",
            "查询积分", "积分排行", "每日一句", "设置昵称", "开启提醒", "关闭提醒", "查看帮助",
            "复读", "骰子", "猜拳", "戳一戳", "问答", "词库", "禁言提醒", "欢迎新人"]
ACTIONS = ["获得积分", "查看结果", "显示说明", "切换开关", "记录到本群", "发送到私聊",
           "重置计数", "随机抽取一条", "按次数累计", "每日零点清空"]
SCOPES = ["群聊", "私聊", "讨论组", "所有会话"]
LEVELS = ["所有成员", "管理员", "群主", "插件主人"]


def help_text(size):
    """Reference text of the console commands, one entry a line, exactly SIZE bytes."""
    out = bytearray("; Tovara娱乐插件控制台 指令说明 (1.3.1)\r\n".encode("gbk"))
    n = 0
    while True:
        cmd = COMMANDS[n % len(COMMANDS)]
        variant = n // len(COMMANDS)
        line = ("%05d 指令：%s%s  范围：%s  权限：%s  说明：发送“%s”后%s，冷却 %d 秒。\r\n" % (
            n + 1, cmd, "" if variant == 0 else " %d" % variant,
            SCOPES[(n * 7 + variant) % len(SCOPES)], LEVELS[(n * 5 + variant * 3) % len(LEVELS)],
            cmd, ACTIONS[(n * 3 + variant) % len(ACTIONS)], 5 * (1 + (n * 13 + variant) % 24))
        ).encode("gbk")
        if len(out) + len(line) + 8 > size:
            break
        out += line
        n += 1
    tail = size - len(out)
    if tail >= 3:
        out += b";" + b"=" * (tail - 3) + b"\r\n"
    else:
        out += b"\r\n"[2 - tail:]
    assert len(out) == size
    return bytes(out)


def data_table(size, tag):
    """A table of 32-bit records after a small header, exactly SIZE bytes."""
    seed = 0x9E3779B9
    for ch in tag.encode("ascii"):
        seed = (seed * 33 + ch) & 0xFFFFFFFF
    header = b"TVDT" + struct.pack("<IIII", 0x00010301, size, seed, 16) + tag.encode(
        "ascii")[:12].ljust(12, b"\0")
    words = []
    x = seed or 1
    for _ in range((size - len(header) + 3) // 4):
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        words.append(x)
    body = struct.pack("<%dI" % len(words), *words)
    out = (header + body)[:size]
    assert len(out) == size
    return out


def data_size_for(args):
    probe_path = args.probe
    image = read_image(probe_path)
    file_size = len(image.data)
    if image.end_of_sections() != file_size:
        raise BuildError("%s: data after the last section" % probe_path)
    rsrc = image.section(".rsrc")
    fa = image.file_alignment
    if args.target % fa:
        raise BuildError("target size %d is not a multiple of the file alignment %d" %
                         (args.target, fa))
    wanted_raw = rsrc["rawsize"] + args.target - file_size
    base = rsrc["vsize"] - args.probe_size
    if wanted_raw < align(base + 64, fa):
        raise BuildError("%s is already %d bytes, too big for %d" %
                         (probe_path, file_size, args.target))
    size = (wanted_raw - 64 - base) // 8 * 8
    if not wanted_raw - fa < base + size <= wanted_raw:
        raise BuildError("cannot fit the data resource")
    return size


def cmd_data(args):
    size = args.size if args.probe is None else data_size_for(args)
    if size % 8:
        raise BuildError("data size %d is not a multiple of 8" % size)
    data = help_text(size) if args.kind == "text" else data_table(size, args.tag)
    write_atomically(args.out, data)


# ---------------------------------------------------------------------------------------
# Final check

def check(image, args):
    problems = []
    size = len(image.data)
    if size != args.size:
        problems.append("size is %d bytes, %d expected" % (size, args.size))
    if image.machine != MACHINES[args.machine] or image.magic != OPTIONAL_HEADER_MAGIC[args.machine]:
        problems.append("machine %#x (magic %#x) is not %s" % (image.machine, image.magic,
                                                               args.machine))
    if image.subsystem != IMAGE_SUBSYSTEM_WINDOWS_GUI:
        problems.append("subsystem %d is not GUI" % image.subsystem)
    is_dll = bool(image.characteristics & IMAGE_FILE_DLL)
    if is_dll != (args.kind == "dll"):
        problems.append("DLL flag %s for a %s" % (is_dll, args.kind))
    if image.timestamp != 0:
        problems.append("header carries a time stamp")
    if args.kind == "dll":
        if image.characteristics & IMAGE_FILE_RELOCS_STRIPPED:
            problems.append("relocations stripped")
        if not (image.dll_characteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE):
            problems.append("not marked for a dynamic base")
        if len(image.dirs) <= DIR_BASERELOC or image.dirs[DIR_BASERELOC][1] == 0:
            problems.append("no base relocations")
        if len(image.dirs) <= DIR_EXPORT or image.dirs[DIR_EXPORT][1] == 0:
            problems.append("no exports")
        else:
            rva = image.dirs[DIR_EXPORT][0]
            for s in image.sections:
                if s["va"] <= rva < s["va"] + s["vsize"]:
                    stamp = struct.unpack_from("<I", image.data, s["rawptr"] + rva - s["va"] + 4)[0]
                    if stamp:
                        problems.append("export directory carries a time stamp")
    if len(image.dirs) <= DIR_RESOURCE or image.dirs[DIR_RESOURCE][1] == 0:
        problems.append("no resources")
    # Section layout: in order, contiguous in memory, inside the file, image size consistent.
    sa, fa = image.section_alignment, image.file_alignment
    next_va = align(image.size_of_headers, sa)
    for s in image.sections:
        if s["va"] != next_va:
            problems.append("section %s at %#x, %#x expected" % (s["name"], s["va"], next_va))
        if s["rawsize"] % fa or (s["rawsize"] and s["rawptr"] % fa):
            problems.append("section %s not file-aligned" % s["name"])
        if s["rawptr"] + s["rawsize"] > size:
            problems.append("section %s runs past the end of the file" % s["name"])
        next_va = align(s["va"] + max(s["vsize"], s["rawsize"]), sa)
    if image.size_of_image != next_va:
        problems.append("SizeOfImage %#x, %#x expected" % (image.size_of_image, next_va))
    if image.end_of_sections() != size:
        problems.append("%d bytes after the last section" % (size - image.end_of_sections()))
    for text in args.forbid or []:
        if text and text.encode() in image.data:
            problems.append("contains the build path %s" % text)
    return problems


def cmd_finish(args):
    with open(args.pe, "rb") as f:
        image = PeImage(f.read())
    problems = check(image, args)
    if problems:
        raise BuildError("%s: %s" % (args.pe, "; ".join(problems)))
    write_atomically(args.out, image.data)


def write_atomically(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def main():
    parser = argparse.ArgumentParser()
    sub = parser.add_subparsers(dest="command", required=True)
    d = sub.add_parser("data")
    d.add_argument("kind", choices=["text", "table"])
    d.add_argument("tag")
    d.add_argument("out")
    d.add_argument("--size", type=int)
    d.add_argument("--probe")
    d.add_argument("--probe-size", type=int)
    d.add_argument("--target", type=int)
    f = sub.add_parser("finish")
    f.add_argument("pe")
    f.add_argument("out")
    f.add_argument("--size", type=int, required=True)
    f.add_argument("--kind", choices=["exe", "dll"], required=True)
    f.add_argument("--machine", choices=sorted(MACHINES), default="i386")
    f.add_argument("--forbid", action="append")
    args = parser.parse_args()
    if args.command == "data" and (args.size is None) == (args.probe is None):
        parser.error("data needs either --size or --probe, --probe-size and --target")
    try:
        cmd_data(args) if args.command == "data" else cmd_finish(args)
    except (BuildError, OSError, struct.error) as e:
        print("standin_tool: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
