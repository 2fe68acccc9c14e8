#!/usr/bin/env python3
"""Checks a Windows program's resources as Explorer reads them: an icon in each of the sizes
16, 32, 48, 64, 128 and 256 pixels, and (with --version) a version resource of that version.

    windows_resources.py [--version A.B.C.D] PROGRAM.exe...

Reads the files' own resource tables (PE32+), so it needs neither Windows nor Wine."""

import argparse
import struct
import sys

RT_ICON_GROUP = 14
RT_VERSION = 16
SIZES = [16, 32, 48, 64, 128, 256]


class Program:
    def __init__(self, path):
        with open(path, "rb") as file:
            self.data = file.read()
        if self.data[:2] != b"MZ":
            raise ValueError("not a Windows program")
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE header")
        sections, optional_size = struct.unpack_from("<H12xH", self.data, pe + 6)
        optional = pe + 24
        if struct.unpack_from("<H", self.data, optional)[0] != 0x20B:
            raise ValueError("not a 64-bit program")
        # The resource table is the third data directory, 112 bytes into a PE32+ header.
        self.resources = struct.unpack_from("<I", self.data, optional + 112 + 2 * 8)[0]
        self.sections = []
        table = optional + optional_size
        for index in range(sections):
            size, address, raw_size, raw = struct.unpack_from("<IIII", self.data,
                                                              table + 40 * index + 8)
            self.sections.append((address, max(size, raw_size), raw))
        if not self.resources:
            raise ValueError("no resources")
        self.root = self.offset(self.resources)

    def offset(self, rva):
        for address, size, raw in self.sections:
            if address <= rva < address + size:
                return raw + rva - address
        raise ValueError(f"address {rva:#x} is in no section")

    def entries(self, directory):
        """(id, offset, is a directory) for each entry of a resource directory."""
        named, numbered = struct.unpack_from("<HH", self.data, directory + 12)
        for index in range(named + numbered):
            name, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * index)
            yield name, self.root + (target & 0x7FFFFFFF), bool(target & 0x80000000)

    def resources_of(self, kind):
        """The data of every resource of a type, each in every language it comes in."""
        for name, directory, _ in self.entries(self.root):
            if name != kind:
                continue
            for _, languages, _ in self.entries(directory):
                for _, leaf, _ in self.entries(languages):
                    rva, size = struct.unpack_from("<II", self.data, leaf)
                    start = self.offset(rva)
                    yield self.data[start:start + size]


def icon_sizes(program):
    """The sizes of each icon group, 0 standing for 256 as the format has it."""
    groups = []
    for group in program.resources_of(RT_ICON_GROUP):
        count = struct.unpack_from("<H", group, 4)[0]
        sizes = sorted({(group[6 + 14 * i] or 256) for i in range(count)})
        groups.append(sizes)
    return groups


def version(program):
    for resource in program.resources_of(RT_VERSION):
        fixed = resource.find(struct.pack("<I", 0xFEEF04BD))
        if fixed >= 0:
            high, low = struct.unpack_from("<II", resource, fixed + 8)
            return f"{high >> 16}.{high & 0xFFFF}.{low >> 16}.{low & 0xFFFF}"
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--version", help="the version the programs must say")
    parser.add_argument("programs", nargs="+")
    arguments = parser.parse_args()
    failed = False
    for path in arguments.programs:
        try:
            program = Program(path)
            groups = icon_sizes(program)
            found = version(program)
        except (OSError, ValueError, struct.error) as error:
            print(f"FAIL: {path}: {error}")
            failed = True
            continue
        problems = []
        if not any(all(size in sizes for size in SIZES) for sizes in groups):
            problems.append(f"no icon with every size of {SIZES} (its icons: {groups})")
        if arguments.version and found != arguments.version:
            problems.append(f"version {found}, not {arguments.version}")
        for problem in problems:
            print(f"FAIL: {path}: {problem}")
        failed = failed or bool(problems)
        if not problems:
            print(f"ok: {path}: icon {groups[0]}, version {found}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
