#!/usr/bin/python3
"""Dump a PST file to JSON through libpff (pypff), a reader we did not write.

Usage: /usr/bin/python3 pst_oracle.py FILE.pst

The dump holds the store's name and properties, the folder tree and every item with every
property and attachment; named properties are resolved through the file's own name-to-ID map (Debian's pypff
does not), and contacts get a summary by field name. Exit status 1 when pypff cannot open it.
"""

import datetime
import hashlib
import json
import struct
import sys
import uuid

try:
    import pypff
except ImportError:  # the system interpreter has it; a virtualenv's python may not
    sys.stderr.write("pst_oracle: pypff is not importable; run with /usr/bin/python3\n")
    sys.exit(1)

PS_MAPI = "{00020328-0000-0000-C000-000000000046}"
PS_PUBLIC_STRINGS = "{00020329-0000-0000-C000-000000000046}"
PSETID_ADDRESS = "{00062004-0000-0000-C000-000000000046}"

MV = 0x1000
# struct formats of the fixed-size numeric types
NUMBERS = {0x0002: "<h", 0x0003: "<i", 0x000A: "<i", 0x0004: "<f", 0x0005: "<d", 0x0007: "<d",
           0x0006: "<q", 0x0014: "<q"}
FIXED_SIZES = {0x000B: 1, 0x0040: 8, 0x0048: 16, **{t: struct.calcsize(f) for t, f in NUMBERS.items()}}

# Fields of a contact as Outlook names them, with the property that holds each: a tag, or
# (property set, LID) for named properties ([MS-OXOCNTC], [MS-OXPROPS]).
CONTACT_FIELDS = {
    "display_name": 0x3001,
    "given_name": 0x3A06,
    "middle_name": 0x3A44,
    "surname": 0x3A11,
    "display_name_prefix": 0x3A45,
    "generation": 0x3A05,
    "job_title": 0x3A17,
    "company_name": 0x3A16,
    "department_name": 0x3A18,
    "office_location": 0x3A19,
    "profession": 0x3A46,
    "manager_name": 0x3A4E,
    "assistant": 0x3A30,
    "spouse_name": 0x3A48,
    "body": 0x1000,
    "business_home_page": 0x3A51,
    "birthday": 0x3A42,
    "wedding_anniversary": 0x3A41,
    "business_telephone": 0x3A08,
    "business_fax": 0x3A24,
    "home_telephone": 0x3A09,
    "home_fax": 0x3A25,
    "mobile_telephone": 0x3A1C,
    "pager_telephone": 0x3A21,
    "postal_address": 0x3A15,
    "file_under": (PSETID_ADDRESS, 0x8005),
    "address_book_provider_email_list": (PSETID_ADDRESS, 0x8028),
    "work_address": (PSETID_ADDRESS, 0x801B),
    "home_address": (PSETID_ADDRESS, 0x801A),
    "postal_address_id": (PSETID_ADDRESS, 0x8022),
    "html": (PSETID_ADDRESS, 0x802B),
    "instant_messaging_address": (PSETID_ADDRESS, 0x8062),
    "keywords": (PS_PUBLIC_STRINGS, "Keywords"),
    "nickname": 0x3A4F,
    "gender": 0x3A4D,
    "childrens_names": 0x3A58,
    "personal_home_page": 0x3A50,
    "home2_telephone": 0x3A2F,
    "business2_telephone": 0x3A1B,
    "car_telephone": 0x3A1E,
    "isdn": 0x3A2D,
    "tty_tdd_telephone": 0x3A4B,
    "other_telephone": 0x3A1F,
    "primary_telephone": 0x3A1A,
    "primary_fax": 0x3A23,
    "other_address": (PSETID_ADDRESS, 0x801C),
    "address_book_provider_array_type": (PSETID_ADDRESS, 0x8029),
}
# The parts of the four addresses: street, city, state, postal code, country, PO box.
for _prefix, _ids in (("home_address", (0x3A5D, 0x3A59, 0x3A5C, 0x3A5B, 0x3A5A, 0x3A5E)),
                      ("mailing_address", (0x3A29, 0x3A27, 0x3A28, 0x3A2A, 0x3A26, 0x3A2B)),
                      ("other_address", (0x3A63, 0x3A5F, 0x3A62, 0x3A61, 0x3A60, 0x3A64)),
                      ("work_address", [(PSETID_ADDRESS, lid) for lid in range(0x8045, 0x804B)])):
    for _part, _id in zip(("street", "city", "state", "postal_code", "country", "post_office_box"), _ids):
        CONTACT_FIELDS["%s_%s" % (_prefix, _part)] = _id
# The three e-mail groups, sixteen LIDs apart.
for _n in range(3):
    for _part, _lid in (("display_name", 0x8080), ("address_type", 0x8082), ("address", 0x8083),
                        ("original_display_name", 0x8084), ("original_entry_id", 0x8085)):
        CONTACT_FIELDS["email%d_%s" % (_n + 1, _part)] = (PSETID_ADDRESS, _lid + 16 * _n)
# The three fax groups, after the e-mail groups.
for _n in range(3):
    for _part, _lid in (("address_type", 0x80B2), ("address", 0x80B3), ("original_display_name", 0x80B4),
                        ("original_entry_id", 0x80B5)):
        CONTACT_FIELDS["fax%d_%s" % (_n + 1, _part)] = (PSETID_ADDRESS, _lid + 16 * _n)


def guid_text(raw):
    return "{" + str(uuid.UUID(bytes_le=bytes(raw))).upper() + "}"


def filetime_text(ticks):
    if ticks == 0:
        return None
    try:
        moment = datetime.datetime(1601, 1, 1) + datetime.timedelta(microseconds=ticks // 10)
    except OverflowError:
        return {"filetime": ticks}
    return moment.strftime("%Y-%m-%dT%H:%M:%S.%f") + "Z"


def decode_scalar(value_type, raw):
    """A single value of the given type, as JSON."""
    if raw is None:
        return None
    if value_type == 0x001F:
        return raw.decode("utf-16-le", errors="replace")
    if value_type == 0x001E:
        return raw.decode("latin-1")
    size = FIXED_SIZES.get(value_type)
    if size is not None and len(raw) != size:
        return {"malformed": raw.hex().upper()}
    if value_type in NUMBERS:
        return struct.unpack(NUMBERS[value_type], raw)[0]
    if value_type == 0x000B:
        return raw[0] != 0
    if value_type == 0x0040:
        return filetime_text(struct.unpack("<Q", raw)[0])
    if value_type == 0x0048:
        return guid_text(raw)
    return raw.hex().upper()


def decode_value(value_type, raw):
    if raw is None:
        # pypff gives no data for a value of length zero (HNID 0): an empty string or binary.
        if value_type & MV or FIXED_SIZES.get(value_type) is None:
            raw = b""
        else:
            return None
    if not value_type & MV:
        return decode_scalar(value_type, raw)
    element = value_type & ~MV
    size = FIXED_SIZES.get(element)
    if size:
        return [decode_scalar(element, raw[i:i + size]) for i in range(0, len(raw) - len(raw) % size, size)]
    # Variable-size elements: a count, that many offsets, then the values back to back.
    if len(raw) < 4:
        return {"malformed": raw.hex().upper()}
    count = struct.unpack_from("<I", raw, 0)[0]
    if 4 + 4 * count > len(raw):
        return {"malformed": raw.hex().upper()}
    offsets = list(struct.unpack_from("<%dI" % count, raw, 4)) + [len(raw)]
    return [decode_scalar(element, raw[offsets[i]:offsets[i + 1]]) for i in range(count)]


def entry_data(entry):
    try:
        return entry.data
    except (IOError, OSError):
        return None


class NameMap:
    """The name-to-ID map ([MS-PST] 2.4.7), decoded from its three streams."""

    def __init__(self, pst):
        self.by_id = {}
        record_set = pst.get_name_to_id_map().get_record_set(0)
        streams = {}
        for entry in record_set.entries:
            if entry.entry_type in (0x0002, 0x0003, 0x0004) and entry.value_type == 0x0102:
                streams[entry.entry_type] = entry_data(entry) or b""
        guids = streams.get(0x0002, b"")
        entries = streams.get(0x0003, b"")
        strings = streams.get(0x0004, b"")
        for offset in range(0, len(entries) - len(entries) % 8, 8):
            key, kind, index = struct.unpack_from("<IHH", entries, offset)
            guid_index = kind >> 1
            if guid_index == 1:
                guid = PS_MAPI
            elif guid_index == 2:
                guid = PS_PUBLIC_STRINGS
            elif 16 * (guid_index - 3) + 16 <= len(guids):
                guid = guid_text(guids[16 * (guid_index - 3):16 * (guid_index - 2)])
            else:
                guid = None
            named = {"guid": guid}
            if kind & 1:
                if key + 4 <= len(strings):
                    length = struct.unpack_from("<I", strings, key)[0]
                    named["name"] = strings[key + 4:key + 4 + length].decode("utf-16-le", errors="replace")
                else:
                    named["name"] = None
            else:
                named["lid"] = key
            self.by_id[0x8000 + index] = named

    def find(self, guid, lid_or_name):
        for prop_id, named in self.by_id.items():
            if named["guid"] != guid:
                continue
            if isinstance(lid_or_name, str) and named.get("name") == lid_or_name:
                return prop_id
            if not isinstance(lid_or_name, str) and named.get("lid") == lid_or_name:
                return prop_id
        return None


def properties(item, names):
    """Every property of an item's first record set, in stored order."""
    out = []
    if item.number_of_record_sets == 0:
        return out
    for entry in item.get_record_set(0).entries:
        prop_id, value_type = entry.entry_type, entry.value_type
        prop = {"tag": "0x%04X%04X" % (prop_id, value_type), "id": "0x%04X" % prop_id,
                "type": "0x%04X" % value_type, "value": decode_value(value_type, entry_data(entry))}
        if prop_id >= 0x8000:
            named = names.by_id.get(prop_id)
            if named is not None:
                prop["named"] = {k: ("0x%04X" % v if k == "lid" else v) for k, v in named.items()}
        out.append(prop)
    return out


def value_of(props, names, field):
    if isinstance(field, tuple):
        prop_id = names.find(*field)
        if prop_id is None:
            return None
    else:
        prop_id = field
    for prop in props:
        if int(prop["id"], 16) == prop_id:
            return prop["value"]
    return None


def contact_summary(props, names):
    summary = {}
    for key, field in CONTACT_FIELDS.items():
        value = value_of(props, names, field)
        if value is not None:
            summary[key] = value
    return summary


def attachment_json(attachment, names):
    """An attachment by its own properties, and its data as pypff reads it (its SHA-256)."""
    props = properties(attachment, names)
    data = attachment.read_buffer(attachment.size) if attachment.size else b""
    return {"name": value_of(props, names, 0x3707), "short_name": value_of(props, names, 0x3704),
            "method": value_of(props, names, 0x3705), "size": value_of(props, names, 0x0E20),
            "contact_photo": value_of(props, names, 0x7FFF), "data_size": len(data),
            "sha256": hashlib.sha256(data).hexdigest()}


def item_json(item, names):
    props = properties(item, names)
    message_class = value_of(props, names, 0x001A)
    out = {"id": item.identifier, "message_class": message_class, "properties": props,
           "subject": item.subject if hasattr(item, "subject") else None,
           "attachments": [attachment_json(item.get_attachment(i), names)
                           for i in range(item.number_of_attachments)]}
    if isinstance(message_class, str) and message_class.startswith("IPM.Contact"):
        out["contact"] = contact_summary(props, names)
    return out


def folder_json(folder, names):
    props = properties(folder, names)
    return {
        "id": folder.identifier,
        "name": folder.name,
        "container_class": value_of(props, names, 0x3613),
        "content_count": value_of(props, names, 0x3602),
        "number_of_sub_folders": folder.number_of_sub_folders,
        "number_of_sub_messages": folder.number_of_sub_messages,
        "properties": props,
        "messages": [item_json(m, names) for m in folder.sub_messages],
        "folders": [folder_json(f, names) for f in folder.sub_folders],
    }


def dump(path):
    pst = pypff.file()
    pst.open(path)
    try:
        names = NameMap(pst)
        store_props = properties(pst.get_message_store(), names)
        return {"store": {"name": value_of(store_props, names, 0x3001), "properties": store_props},
                "root": folder_json(pst.get_root_folder(), names)}
    finally:
        pst.close()


def main(argv):
    args = argv[1:]
    if len(args) != 1:
        sys.stderr.write(__doc__)
        return 2
    try:
        result = dump(args[0])
    except (IOError, OSError) as error:
        sys.stderr.write("pst_oracle: pypff cannot read %s: %s\n" % (args[0], error))
        return 1
    sys.stdout.write(json.dumps(result, indent=1, ensure_ascii=False, default=str) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
