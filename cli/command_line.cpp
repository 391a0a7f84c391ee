#include "cli/command_line.h"

namespace tressimo::cli {

CommandLine parseCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine line;
    bool help = false;
    bool dump = false;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            line.files.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            help = true;
        } else if (argument == "--dump") {
            dump = true;
        } else {
            line.error = "unknown option \"" + argument + "\"";
            return line;
        }
    }

    if (help) {
        line.mode = Mode::Help;
    } else if (dump) {
        if (line.files.empty())
            line.error = "--dump needs at least one FILE";
        else
            line.mode = Mode::Dump;
    } else if (arguments.empty()) {
        line.error = "no mode given";
    } else {
        line.error = "no mode given; to see what the reader makes of files, use --dump FILE...";
    }
    return line;
}

std::string usageText()
{
    return "Usage: tressimo-convert --dump FILE...\n"
           "       tressimo-convert --help\n";
}

std::string helpText()
{
    return "tressimo-convert: Windows Contacts files (.contact) to Outlook contacts.\n"
           "\n"
           "Usage:\n"
           "  tressimo-convert --dump FILE...   show what the reader makes of each FILE\n"
           "  tressimo-convert --help           show this help\n"
           "\n"
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
           "Options end at \"--\"; later arguments are files even when they begin with \"-\".\n"
           "\n"
           "Exit status:\n"
           "  0  every file loaded\n"
           "  1  some file could not be loaded, or the output could not be written\n"
           "  2  usage error (nothing was read)\n";
}

} // namespace tressimo::cli
