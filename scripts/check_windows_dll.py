#!/usr/bin/env python3
"""Checks the cross-built plug-in DLL: it exports exactly the four plug-in
functions (read from the toolchain's objdump), imports only DLLs that Windows
itself provides, and its resources hold the four dialog templates with their
sizes and string 1 with the class name (read by a small PE resource walker)."""
import re
import struct
import subprocess
import sys

OBJDUMP = "i686-w64-mingw32-objdump"
EXPORTS = {"LibDescription", "LibNumberClasses", "LibClassDesc", "LibVersion"}
# Dialog template id -> (width, height) in dialog units.
DIALOGS = {1005: (108, 47), 1004: (108, 107), 1006: (108, 45), 112: (250, 94)}
STRINGS = {1: "Valdrin KVO Exporter"}
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "shell32.dll",
               "ole32.dll", "msvcrt.dll", "advapi32.dll"}
RT_STRING, RT_DIALOG = 6, 5


def objdump_exports_and_imports(path):
    text = subprocess.run([OBJDUMP, "-p", path], check=True, capture_output=True,
                          text=True).stdout
    imports = [m.lower() for m in re.findall(r"^\s*DLL Name: (\S+)", text, re.M)]
    names = []
    table = text.split("[Ordinal/Name Pointer] Table", 1)
    if len(table) == 2:
        for line in table[1].splitlines()[1:]:
            m = re.match(r"^\s*\[\s*\d+\]\s+(\S+)\s*$", line)
            if not m:
                break
            names.append(m.group(1))
    return names, imports


class PeImage:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ image")
        pe = self.u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        sections = self.u16(pe + 6)
        optional_size = self.u16(pe + 20)
        optional = pe + 24
        if self.u16(optional) != 0x10B:
            raise ValueError("not a 32-bit image")
        self.resource_rva = self.u32(optional + 96 + 2 * 8)
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            s = table + 40 * i
            vsize, rva, rawsize, rawptr = struct.unpack_from("<IIII", data, s + 8)
            self.sections.append((rva, max(vsize, rawsize), rawptr, rawsize))

    def u16(self, off):
        return struct.unpack_from("<H", self.data, off)[0]

    def u32(self, off):
        return struct.unpack_from("<I", self.data, off)[0]

    def offset(self, rva):
        for start, size, rawptr, rawsize in self.sections:
            if start <= rva < start + size and rva - start < rawsize:
                return rawptr + rva - start
        raise ValueError("RVA 0x%x outside the file" % rva)

    def resources(self):
        """Yields (type id, name id, bytes) for every resource with numeric ids."""
        if not self.resource_rva:
            return
        base = self.offset(self.resource_rva)

        def entries(dir_off):
            named, ids = struct.unpack_from("<HH", self.data, base + dir_off + 12)
            for i in range(named + ids):
                name, value = struct.unpack_from("<II", self.data, base + dir_off + 16 + 8 * i)
                yield name, value

        for type_id, type_value in entries(0):
            if type_id & 0x80000000 or not type_value & 0x80000000:
                continue
            for name_id, name_value in entries(type_value & 0x7FFFFFFF):
                if name_id & 0x80000000 or not name_value & 0x80000000:
                    continue
                for _, leaf in entries(name_value & 0x7FFFFFFF):
                    rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    start = self.offset(rva)
                    yield type_id, name_id, self.data[start:start + size]


def string_block(block_id, data):
    """The 16 strings of a string-table block, keyed by string id."""
    strings, pos = {}, 0
    for i in range(16):
        (length,) = struct.unpack_from("<H", data, pos)
        pos += 2
        strings[(block_id - 1) * 16 + i] = data[pos:pos + 2 * length].decode("utf-16-le")
        pos += 2 * length
    return strings


def dialog_size(data):
    if struct.unpack_from("<HH", data, 0) == (1, 0xFFFF):  # DIALOGEX
        return struct.unpack_from("<hh", data, 22)
    return struct.unpack_from("<hh", data, 14)


def main(path):
    failures = []
    names, imports = objdump_exports_and_imports(path)
    if sorted(names) != sorted(EXPORTS):
        failures.append("exports are %s, expected exactly %s" % (sorted(names), sorted(EXPORTS)))
    foreign = [d for d in imports if d not in SYSTEM_DLLS]
    if foreign:
        failures.append("imports DLLs Windows does not provide: %s" % foreign)

    with open(path, "rb") as f:
        image = PeImage(f.read())
    dialogs, strings = {}, {}
    for type_id, name_id, data in image.resources():
        if type_id == RT_DIALOG:
            dialogs[name_id] = dialog_size(data)
        elif type_id == RT_STRING:
            strings.update(string_block(name_id, data))
    for dialog_id, size in DIALOGS.items():
        if dialog_id not in dialogs:
            failures.append("dialog %d missing" % dialog_id)
        elif tuple(dialogs[dialog_id]) != size:
            failures.append("dialog %d is %s, expected %s" % (dialog_id, dialogs[dialog_id], size))
    for string_id, text in STRINGS.items():
        if strings.get(string_id) != text:
            failures.append("string %d is %r, expected %r" % (string_id, strings.get(string_id), text))

    for failure in failures:
        print("%s: %s" % (path, failure), file=sys.stderr)
    if failures:
        return 1
    print("%s: exports %s; dialogs %s; string 1 %r; imports %s" % (
        path, ", ".join(names), ", ".join(str(d) for d in sorted(dialogs)), strings[1],
        ", ".join(imports)))
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print("usage: check_windows_dll.py KVOEXP_DLL", file=sys.stderr)
        sys.exit(2)
    sys.exit(main(sys.argv[1]))
