#!/usr/bin/env python3
"""Prints the application manifest (resource type 24, id 1) of a Windows executable, read from
its resource section; exits with 1 when the file has none."""
import struct
import sys


def manifest(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        return None
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    if resource_rva == 0:
        return None
    table = optional + optional_size
    places = []
    for index in range(sections):
        size, rva, _, raw = struct.unpack_from("<IIII", data, table + index * 40 + 8)
        places.append((rva, size, raw))

    def offset(rva):
        for start, size, raw in places:
            if start <= rva < start + size:
                return rva - start + raw
        raise ValueError("address outside every section")

    base = offset(resource_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", data, base + directory + 12)
        for index in range(named + numbered):
            name, target = struct.unpack_from("<II", data, base + directory + 16 + index * 8)
            yield name, target

    def below(directory, wanted):
        for name, target in entries(directory):
            if name == wanted and target & 0x80000000:
                return target & 0x7FFFFFFF
        return None

    types = below(0, 24)
    ids = below(types, 1) if types is not None else None
    if ids is None:
        return None
    for _, leaf in entries(ids):
        data_rva, size = struct.unpack_from("<II", data, base + leaf)
        start = offset(data_rva)
        return data[start:start + size]
    return None


found = manifest(open(sys.argv[1], "rb").read())
if found is None:
    sys.exit(1)
sys.stdout.write(found.decode("utf-8"))
