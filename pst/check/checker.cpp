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
    checkHeader(file, findings);
    checkNodeDatabase(file, findings);
    // Data encoded some way the reader cannot undo would only yield a flood of bogus findings.
    const std::uint8_t crypt = file.header().cryptMethod;
    if (crypt != static_cast<std::uint8_t>(CryptMethod::None) && crypt != static_cast<std::uint8_t>(CryptMethod::Permute))
        return findings.take();
    checkLists(file, findings);
    checkMessaging(file, findings);
    return findings.take();
}

bool isSound(const Violations& found)
{
    return std::none_of(found.begin(), found.end(), [](const Violation& v) { return v.severity == Severity::Error; });
}

} // namespace tressimo::pst::check
