// pst-check: the strict checker of PST files, and a structure dump for diffing.
//
//   pst-check FILE...        exit 0 when every file is sound, 1 when one is not, 2 on usage
//                            errors or a file that cannot be read
//   pst-check --dump FILE    a text dump of the file's structure
//   pst-check --codes        the violation codes and what they mean

#include "pst/check/checker.h"
#include "pst/check/dump.h"
#include "platform/path_text.h"
#include "platform/process.h"

#include <iostream>
#include <string>
#include <vector>

using namespace tressimo::pst::check;

namespace {

int usage()
{
    std::cerr << "usage: pst-check FILE...\n"
                 "       pst-check --dump FILE\n"
                 "       pst-check --codes\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    namespace platform = tressimo::platform;
    platform::useUtf8Console();
    const std::vector<std::string> args = platform::commandLineArguments(argc, argv);
    if (args.empty())
        return usage();
    if (args[0] == "--codes") {
        for (const CodeInfo& c : allCodes())
            std::cout << c.code << "\t" << c.meaning << "\n";
        return 0;
    }
    if (args[0] == "--dump") {
        if (args.size() != 2)
            return usage();
        try {
            dumpPst(*PstFile::open(platform::pathFromText(args[1])), std::cout);
        } catch (const ReadError& e) {
            std::cerr << "pst-check: " << e.what() << "\n";
            return 2;
        }
        return 0;
    }
    if (args[0].starts_with("--"))
        return usage();

    int status = 0;
    for (const std::string& path : args) {
        Violations found;
        try {
            found = checkPst(platform::pathFromText(path));
        } catch (const ReadError& e) {
            std::cerr << "pst-check: " << e.what() << "\n";
            status = 2;
            continue;
        }
        for (const Violation& v : found)
            std::cout << path << ": " << v.toString() << "\n";
        if (isSound(found)) {
            std::cout << path << ": OK\n";
        } else if (status == 0) {
            status = 1;
        }
    }
    return status;
}
