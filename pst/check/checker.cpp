#include "pst/check/checker.h"

#include <algorithm>

namespace tressimo::pst::check {

Violations checkPst(const std::filesystem::path& path)
{
    return checkPst(*PstFile::open(path));
}

Violations checkPstBytes(Bytes bytes, std::string name)
{
    return checkPst(*PstFile::fromBytes(std::move(bytes), std::move(name)));
}

Violations checkPst(const PstFile& file)
{
    Findings findings;
    // Each layer reads past what it cannot use; should one still stop on unreadable data, the
    // rest of the report survives and says so.
    auto run = [&](const char* layer, void (*check)(const PstFile&, Findings&)) {
        try {
            check(file, findings);
        } catch (const FormatError& e) {
            findings.error("CHECK_INCOMPLETE", layer, "checks that run to the end", e.what());
        }
    };
    run("header checks", checkHeader);
    run("node database checks", checkNodeDatabase);
    // Data encoded some way the reader cannot undo would only yield a flood of bogus findings.
    const std::uint8_t crypt = file.header().cryptMethod;
    if (crypt != static_cast<std::uint8_t>(CryptMethod::None) &&
        crypt != static_cast<std::uint8_t>(CryptMethod::Permute))
        return findings.take();
    run("lists, tables and properties checks", checkLists);
    run("messaging checks", checkMessaging);
    return findings.take();
}

bool isSound(const Violations& found)
{
    return std::none_of(found.begin(), found.end(),
                        [](const Violation& v) { return v.severity == Severity::Error; });
}

} // namespace tressimo::pst::check
