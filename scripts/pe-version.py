#!/usr/bin/env python3
"""Prints the version resource of a Windows executable, one "name=value" line
each: the fixed file and product versions, then every string of the string
tables (FileVersion, ProductName, ...). These are what Explorer's Properties
and PowerShell's VersionInfo show. Exits 1 when the file has none.

Usage: scripts/pe-version.py photocheck.exe
"""
import struct
import sys

RT_VERSION = 16


def read_pe_resources(data):
    """Returns (bytes, file offset of the .rsrc section, its RVA)."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    table = optional + optional_size
    for index in range(sections):
        header = table + index * 40
        size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", data, header + 8)
        if rva <= resource_rva < rva + max(size, raw_size):
            return raw_offset + (resource_rva - rva), resource_rva
    raise ValueError("no resource section")


def directory_entries(data, base, offset):
    """Yields (id, offset relative to the resource base, is a directory)."""
    named, numbered = struct.unpack_from("<HH", data, base + offset + 12)
    for index in range(named + numbered):
        name, target = struct.unpack_from("<II", data, base + offset + 16 + index * 8)
        yield name, target & 0x7FFFFFFF, bool(target & 0x80000000)


def version_block(data):
    base, base_rva = read_pe_resources(data)
    for type_id, offset, is_dir in directory_entries(data, base, 0):
        if type_id != RT_VERSION or not is_dir:
            continue
        # First name, first language: a data entry (RVA, size).
        _, names, _ = next(directory_entries(data, base, offset))
        _, leaf, _ = next(directory_entries(data, base, names))
        rva, size = struct.unpack_from("<II", data, base + leaf)
        start = base + (rva - base_rva)
        return data[start:start + size]
    raise ValueError("no version resource")


def align4(offset):
    return (offset + 3) & ~3


def nodes(block, offset, end, path):
    """Walks the VS_VERSIONINFO tree: each node is length, value length,
    type (1: text), a zero-ended UTF-16 key, its value and its children."""
    while offset < end:
        length, value_length, kind = struct.unpack_from("<HHH", block, offset)
        if length == 0:
            break
        key_end = offset + 6
        while block[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = block[offset + 6:key_end].decode("utf-16-le")
        value_start = align4(key_end + 2)
        value_bytes = value_length * 2 if kind == 1 else value_length
        yield path + [key], kind, block[value_start:value_start + value_bytes]
        yield from nodes(block, align4(value_start + value_bytes), offset + length, path + [key])
        offset = align4(offset + length)


def main():
    with open(sys.argv[1], "rb") as exe:
        data = exe.read()
    try:
        block = version_block(data)
    except (ValueError, StopIteration, struct.error) as error:
        print(f"{sys.argv[1]}: {error}", file=sys.stderr)
        return 1
    for path, kind, value in nodes(block, 0, len(block), []):
        if path == ["VS_VERSION_INFO"]:
            fixed = struct.unpack_from("<13I", value)
            if fixed[0] != 0xFEEF04BD:
                print("bad VS_FIXEDFILEINFO signature", file=sys.stderr)
                return 1
            for name, high, low in (("FixedFileVersion", fixed[2], fixed[3]),
                                    ("FixedProductVersion", fixed[4], fixed[5])):
                print(f"{name}={high >> 16}.{high & 0xFFFF}.{low >> 16}.{low & 0xFFFF}")
        elif len(path) == 4 and path[1] == "StringFileInfo":
            print(f"{path[3]}={value.decode('utf-16-le').rstrip(chr(0))}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
