#!/usr/bin/python3
"""Prints, as JSON, every property of the first contact (message class IPM.Contact) in a PST,
with named properties resolved through the store's name-to-ID map. Run with /usr/bin/python3,
where pypff lives. Used by the contact model's comparison with an Outlook-made contact."""

import json
import struct
import sys
import uuid

import pypff


def name_to_id_map(pst):
    streams = {}
    record_map = pst.get_name_to_id_map()
    for set_index in range(record_map.number_of_record_sets):
        record_set = record_map.get_record_set(set_index)
        for entry_index in range(record_set.number_of_entries):
            entry = record_set.get_entry(entry_index)
            streams[entry.entry_type] = entry.data
    guids, entries, strings = streams[0x0002], streams[0x0003], streams[0x0004]
    names = {}
    for offset in range(0, len(entries), 8):
        property_id, guid_and_kind, index = struct.unpack("<IHH", entries[offset:offset + 8])
        guid_index, is_string = guid_and_kind >> 1, guid_and_kind & 1
        if guid_index == 1:
            guid = "00020328-0000-0000-c000-000000000046"
        elif guid_index == 2:
            guid = "00020329-0000-0000-c000-000000000046"
        else:
            start = (guid_index - 3) * 16
            guid = str(uuid.UUID(bytes_le=bytes(guids[start:start + 16])))
        key = {"set": guid}
        if is_string:
            length = struct.unpack("<I", strings[property_id:property_id + 4])[0]
            key["name"] = bytes(strings[property_id + 4:property_id + 4 + length]).decode("utf-16-le")
        else:
            key["lid"] = property_id
        names[0x8000 + index] = key
    return names


def find_contact(folder):
    for index in range(folder.number_of_sub_messages):
        message = folder.get_sub_message(index)
        for set_index in range(message.number_of_record_sets):
            record_set = message.get_record_set(set_index)
            for entry_index in range(record_set.number_of_entries):
                entry = record_set.get_entry(entry_index)
                if entry.entry_type == 0x001A and entry.data is not None:
                    if bytes(entry.data).decode("utf-16-le").rstrip("\0") == "IPM.Contact":
                        return message
    for index in range(folder.number_of_sub_folders):
        found = find_contact(folder.get_sub_folder(index))
        if found is not None:
            return found
    return None


def main():
    pst = pypff.file()
    pst.open(sys.argv[1])
    names = name_to_id_map(pst)
    message = find_contact(pst.get_root_folder())
    properties = []
    for set_index in range(message.number_of_record_sets):
        record_set = message.get_record_set(set_index)
        for entry_index in range(record_set.number_of_entries):
            entry = record_set.get_entry(entry_index)
            item = {"type": entry.value_type, "hex": bytes(entry.data or b"").hex()}
            if entry.entry_type >= 0x8000:
                item.update(names[entry.entry_type])
            else:
                item["id"] = entry.entry_type
            properties.append(item)
    json.dump(properties, sys.stdout, indent=1)


if __name__ == "__main__":
    main()
