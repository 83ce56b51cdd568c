#!/usr/bin/env python3
"""Checks the shipped executables in DIST_ROOT: only system DLLs imported,
GUI subsystem, zero link time stamp, the manifest exactly the empty assembly
element (a DLL has none), a DLL's exports exactly its entry points, a
version resource free of the words that make Windows take a program for an
installer, and in a program the call that keeps the DLL search to the system
folder."""
import struct
import sys

MANIFEST = b'<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0"/>'
SYSTEM_DLLS = {"advapi32.dll", "kernel32.dll", "user32.dll", "msvcrt.dll"}
FORBIDDEN = ("install", "setup", "update", "patch")
RT_VERSION, RT_MANIFEST = 16, 24
# Imported or looked up with GetProcAddress, its name is in the file as ASCII.
DLL_SEARCH_CALL = b"SetDefaultDllDirectories"
# Each file, the DLLs it imports beyond SYSTEM_DLLS and, for a DLL, its exports.
# The check DLL runs inside msiexec: msi instead of user32.
CHECK_DLL = ({"msi.dll"}, {"user32.dll"}, ["CheckImeRegistration"])
PROGRAMS = {"x64/kbreg.exe": ({"imm32.dll"}, set(), None), "x86/kbreg.exe": ({"imm32.dll"}, set(), None),
            "x86/halfkey.exe": (set(), set(), None),
            "x64/imecheck.dll": CHECK_DLL, "x86/imecheck.dll": CHECK_DLL}


class Pe:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        assert data[pe:pe + 4] == b"PE\0\0", "not a PE file"
        self.timestamp = struct.unpack_from("<I", data, pe + 8)[0]
        sections, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
        opt = pe + 24
        magic = struct.unpack_from("<H", data, opt)[0]
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        self.dll = bool(struct.unpack_from("<H", data, pe + 22)[0] & 0x2000)
        dirs = opt + (96 if magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(16)]
        self.sections = []
        table = opt + optional_size
        for i in range(sections):
            _, vsize, va, rawsize, raw = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((va, max(vsize, rawsize), raw))
        self.pe32 = magic == 0x10B

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError(hex(rva))

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode()

    def imports(self):
        rva = self.directories[1][0]
        names = set()
        while True:
            desc = struct.unpack_from("<IIIII", self.data, self.offset(rva))
            if desc[3] == 0:
                return names
            names.add(self.cstring(desc[3]).lower())
            rva += 20

    def exports(self):
        rva, size = self.directories[0]
        if size == 0:
            return []
        at = self.offset(rva)
        count, names = struct.unpack_from("<II", self.data, at + 24)[0], struct.unpack_from("<I", self.data, at + 32)[0]
        return sorted(self.cstring(struct.unpack_from("<I", self.data, self.offset(names) + 4 * i)[0])
                      for i in range(count))

    def resources(self):
        base = self.directories[2][0]
        found = {}

        def walk(rva, path):
            at = self.offset(base + rva)
            named, ids = struct.unpack_from("<HH", self.data, at + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
                if target & 0x80000000:
                    walk(target & 0x7FFFFFFF, path + [name])
                else:
                    data_rva, size = struct.unpack_from("<II", self.data, self.offset(base + target))
                    found[tuple(path + [name])[:2]] = self.data[self.offset(data_rva):self.offset(data_rva) + size]

        walk(0, [])
        return found


def check(root, name, extra_dlls, denied_dlls, exports):
    problems = []
    pe = Pe(open("%s/%s" % (root, name), "rb").read())
    imports = pe.imports()
    allowed = (SYSTEM_DLLS - denied_dlls) | extra_dlls
    if not imports <= allowed:
        problems.append("imports %s" % sorted(imports - allowed))
    if pe.dll != (exports is not None):
        problems.append("a DLL" if pe.dll else "not a DLL")
    if exports is not None and pe.exports() != exports:
        problems.append("exports %s" % pe.exports())
    if pe.subsystem != 2:
        problems.append("subsystem %d, not Windows GUI" % pe.subsystem)
    # A DLL leaves the search order to the program that loads it (msiexec):
    # the call is process-wide.
    if not pe.dll and DLL_SEARCH_CALL not in pe.data:
        problems.append("no %s: DLLs are searched for beside the program" % DLL_SEARCH_CALL.decode())
    if pe.timestamp != 0:
        problems.append("link time stamp %#x" % pe.timestamp)
    resources = pe.resources()
    manifests = [data for (kind, _), data in resources.items() if kind == RT_MANIFEST]
    if pe.dll:
        # A DLL takes the activation context of the program that loads it.
        if manifests:
            problems.append("a manifest")
    elif len(manifests) != 1 or resources.get((RT_MANIFEST, 1), b"").strip() != MANIFEST:
        problems.append("manifest %r" % manifests)
    version = resources.get((RT_VERSION, 1))
    if version is None:
        problems.append("no version resource")
    else:
        text = version.decode("utf-16-le", "replace").lower()
        problems += ["version resource holds %r" % w for w in FORBIDDEN if w in text]
        if "tevra ime" not in text:
            problems.append("version resource without product name")
    print("%-16s %6d bytes  imports %s  %s" % (name, len(pe.data), ", ".join(sorted(imports)),
                                             "OK" if not problems else "; ".join(problems)))
    return not problems


def main():
    root = sys.argv[1]
    ok = all([check(root, name, *expected) for name, expected in PROGRAMS.items()])
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
