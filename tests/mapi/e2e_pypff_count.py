#!/usr/bin/python3
"""Open a PST with pypff (libpff, a reader we did not write) and print the store's name and
the number of items in each folder named on the command line, one line each:

    /usr/bin/python3 e2e_pypff_count.py FILE.pst Contacts
    -> store Windows Contacts
    -> Contacts 1234

Exit status 1 with pypff's complaint on stderr when it cannot open the file. Quicker than a
full dump for files with many thousands of items.
"""

import sys

import pypff


def find(folder, name):
    if folder.name == name:
        return folder
    for i in range(folder.number_of_sub_folders):
        found = find(folder.get_sub_folder(i), name)
        if found is not None:
            return found
    return None


def main():
    pst = pypff.file()
    try:
        pst.open(sys.argv[1])
        store = pst.get_message_store()
        name = None
        for s in range(store.number_of_record_sets):
            record_set = store.get_record_set(s)
            for e in range(record_set.number_of_entries):
                entry = record_set.get_entry(e)
                if entry.entry_type == 0x3001 and entry.data is not None:
                    name = entry.data.decode("utf-16-le")
        print("store", name)
        root = pst.get_root_folder()
        for folder_name in sys.argv[2:]:
            folder = find(root, folder_name)
            print(folder_name, -1 if folder is None else folder.number_of_sub_messages)
    except (IOError, OSError) as error:
        sys.stderr.write("%s: %s\n" % (sys.argv[1], error))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
