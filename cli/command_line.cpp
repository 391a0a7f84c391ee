#include "cli/command_line.h"

namespace tressimo::cli {

namespace {

constexpr std::string_view kOutputFolder = "--output-folder";

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine line;
    bool help = false;
    bool dump = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            line.files.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            help = true;
        } else if (argument == "--dump") {
            dump = true;
        } else if (argument == kOutputFolder || argument.starts_with(std::string(kOutputFolder) + "=")) {
            std::optional<std::string> folder;
            if (argument.size() > kOutputFolder.size())
                folder = argument.substr(kOutputFolder.size() + 1);
            else if (i + 1 < arguments.size())
                folder = arguments[++i];
            if (!folder || folder->empty()) {
                line.error = "--output-folder needs a folder";
                return line;
            }
            if (line.outputFolder) {
                line.error = "--output-folder given twice";
                return line;
            }
            line.outputFolder = std::move(folder);
        } else {
            line.error = "unknown option \"" + argument + "\"";
            return line;
        }
    }

    if (help) {
        line.mode = Mode::Help;
    } else if (dump) {
        if (line.outputFolder)
            line.error = "--output-folder does not go with --dump";
        else if (line.files.empty())
            line.error = "--dump needs at least one FILE";
        else
            line.mode = Mode::Dump;
    } else if (line.files.empty()) {
        line.error = "no PATH given";
    } else {
        for (const std::string& path : line.files) {
            if (path.empty()) {
                line.error = "an empty PATH names no file or folder";
                return line;
            }
        }
        line.mode = Mode::Convert;
    }
    return line;
}

std::string usageText()
{
    return "Usage: tressimo-convert [--output-folder DIR] PATH...\n"
           "       tressimo-convert --dump FILE...\n"
           "       tressimo-convert --help\n";
}

std::string helpText()
{
    return "tressimo-convert: Windows Contacts files (.contact) to Outlook contacts.\n"
           "\n"
           "Usage:\n"
           "  tressimo-convert [--output-folder DIR] PATH...   convert into a new .pst file\n"
           "  tressimo-convert --dump FILE...                  show what the reader makes of each FILE\n"
           "  tressimo-convert --help                          show this help\n"
           "\n"
           "Converting\n"
           "Each PATH is a .contact file or a folder. A folder is searched as the window's\n"
           "\"Add folder\" searches it: breadth-first through every folder below it, taking each\n"
           "file whose name ends in \".contact\" in any letter case; symbolic links to folders\n"
           "are not followed. A file named on the command line is taken whatever its name.\n"
           "The files are converted in the order of the PATHs, each folder's files in the order\n"
           "found, one Outlook contact per file, into the Contacts folder of a new Outlook data\n"
           "file \"WindowsContacts\" + T + \".pst\" in DIR (the current folder when no\n"
           "--output-folder is given), shown in Outlook as \"Windows Contacts : Created - \" + T,\n"
           "where T is the local time as day.month.year hour.minute.second (\"5.3.10 9.7.04\").\n"
           "An existing file is never replaced: when the name is taken, \" (2)\", \" (3)\", ...\n"
           "goes before \".pst\".\n"
           "\n"
           "The path of the new .pst file is printed on standard output. Progress goes to\n"
           "standard error when it is a terminal; at the end a summary there says how many\n"
           "contacts were written and names every file skipped (not readable, not well-formed\n"
           "XML) and every folder that could not be read, with the reason; control characters\n"
           "in names are shown escaped (\\n, \\x1b). Interrupting (Ctrl+C, SIGTERM, or closing\n"
           "the terminal) stops after the contact being written and still closes the .pst file\n"
           "properly. Should writing the .pst file fail (a full disk, an I/O error, a file-size\n"
           "limit), the run stops at once and says why, how many contacts the file holds and\n"
           "how many files were not converted.\n"
           "If the data file cannot be created (for instance because DIR is not writable),\n"
           "the \"Outlook Error\" message and the reason are printed on standard error.\n"
           "\n"
           "Dumping\n"
           "--dump reads each FILE, in the order given, and prints one JSON object per line:\n"
           "  {\"file\": PATH, \"loaded\": true|false, \"error\": TEXT|null, \"record\": {...}}\n"
           "\"record\" holds the 43 contact fields, eContact_FirstName to eContact_Categories,\n"
           "in record order: texts without leading and trailing blanks, as the Outlook item\n"
           "would receive them, and the two dates as \"YYYY-MM-DD\" or null when the file sets\n"
           "none. A file that cannot be read, or is not XML, still gets its line, with\n"
           "\"loaded\": false, the reason in \"error\", and an empty record; the files after it\n"
           "are still read. Bytes that are not valid UTF-8 (in a file name or a file's text)\n"
           "are shown as U+FFFD; the file itself is opened by its real name.\n"
           "\n"
           "Options may come anywhere; they end at \"--\", and later arguments are paths even\n"
           "when they begin with \"-\". --output-folder=DIR works as well.\n"
           "\n"
           "Exit status:\n"
           "  0  every file converted (--dump: every file loaded)\n"
           "  1  some file was skipped or some folder could not be read, the run was\n"
           "     interrupted or writing the .pst file failed, or the output could not be\n"
           "     written completely\n"
           "  2  nothing was converted: a usage error (also a PATH that does not exist, or no\n"
           "     .contact file found), the data file could not be set up, or the file holds\n"
           "     no contact\n";
}

} // namespace tressimo::cli
