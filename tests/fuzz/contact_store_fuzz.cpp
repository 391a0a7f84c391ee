// libFuzzer target: one file's whole way into a store. The bytes are read as a .contact, the
// record goes through the contact writer into a new store kept in memory, the session logs
// off, and the file must then be sound to the strict checker and hold exactly the contacts
// the writer reported saved: whatever the input, our own files are valid.

#include "pst/check/checker.h"
#include "pst/check/pst_reader.h"
#include "tests/fuzz/fuzz_store.h"

#include <cstdio>
#include <cstdlib>

using namespace tressimo;

namespace {

[[noreturn]] void fail(const std::string& why)
{
    std::fprintf(stderr, "contact_store_fuzz: %s\n", why.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::WrittenStore store =
        fuzz::writeStore({std::string_view(reinterpret_cast<const char*>(data), size)});
    if (store.items.empty())
        return 0;

    std::string errors;
    for (const pst::check::Violation& v : pst::check::checkPstBytes(store.bytes, "fuzz.pst"))
        if (v.severity == pst::check::Severity::Error)
            errors += v.toString() + "\n";
    if (!errors.empty())
        fail("the store written is not sound:\n" + errors);
    const auto reader = pst::check::PstReader::fromBytes(store.bytes, "fuzz.pst");
    const auto folder = reader.findFolder("Contacts");
    const std::size_t inFile = folder ? reader.messages(*folder).size() : 0;
    const outlook::ContactItemResult& item = store.items.front();
    if (inFile != (item.saved ? 1u : 0u) || store.committed != inFile)
        fail("saved " + std::to_string(item.saved) + ", committed " + std::to_string(store.committed) +
             ", but the file holds " + std::to_string(inFile) + " (first refusal: " + item.firstFailedStep +
             ": " + item.firstError + ")");
    return 0;
}
