#!/usr/bin/python3
"""Prints as JSON every property of the first IPM.Contact message in a PST, named properties
resolved through the name-to-ID map (set GUID as hex in stored byte order). Needs pypff."""

import json
import struct
import sys

import pypff

PS_MAPI = "2803020000000000c000000000000046"
PS_PUBLIC_STRINGS = "2903020000000000c000000000000046"


def entries(item):
    for set_index in range(item.number_of_record_sets):
        record_set = item.get_record_set(set_index)
        for index in range(record_set.number_of_entries):
            yield record_set.get_entry(index)


def named_properties(pst):
    streams = {entry.entry_type: bytes(entry.data) for entry in entries(pst.get_name_to_id_map())}
    guids, records, strings = streams[0x0002], streams[0x0003], streams[0x0004]
    names = {}
    for offset in range(0, len(records), 8):
        value, kind, index = struct.unpack("<IHH", records[offset:offset + 8])
        guid = kind >> 1
        key = {"set": {1: PS_MAPI, 2: PS_PUBLIC_STRINGS}.get(guid, guids[(guid - 3) * 16:(guid - 2) * 16].hex())}
        if kind & 1:
            length = struct.unpack("<I", strings[value:value + 4])[0]
            key["name"] = strings[value + 4:value + 4 + length].decode("utf-16-le")
        else:
            key["lid"] = value
        names[0x8000 + index] = key
    return names


def find_contact(folder):
    for index in range(folder.number_of_sub_messages):
        message = folder.get_sub_message(index)
        if any(e.entry_type == 0x001A and bytes(e.data or b"").decode("utf-16-le") == "IPM.Contact"
               for e in entries(message)):
            return message
    for index in range(folder.number_of_sub_folders):
        found = find_contact(folder.get_sub_folder(index))
        if found is not None:
            return found
    return None


pst = pypff.file()
pst.open(sys.argv[1])
names = named_properties(pst)
properties = []
for entry in entries(find_contact(pst.get_root_folder())):
    item = {"type": entry.value_type, "hex": bytes(entry.data or b"").hex()}
    item.update(names[entry.entry_type] if entry.entry_type >= 0x8000 else {"id": entry.entry_type})
    properties.append(item)
json.dump(properties, sys.stdout)
