// mapi_contacts: the product's whole write path at its scale. 100,000 contacts with typical
// contents go through the session model exactly as the contact writer sends them (the store
// by entry ID, Add(2), 34 puts, four HrSetOneProp with save, Save, release), commits every two
// seconds, then Logoff.
//
//   mapi_contacts [CONTACTS] [DIR]
//
// It runs twice: into a sink that discards the bytes (our code's own cost), then into a real
// file in DIR (default /tmp), where the disk has its say. It also writes an empty store
// (AddPSTStore, ValidateIPMTree, Logoff) to compare its size with Outlook's. Prints contacts
// per second, CPU time, peak memory and bytes per contact. Goals: >= 50,000 contacts/s and
// <= 150 MB peak memory.

#include "bench/bench_support.h"
#include "bench/discarding_sink.h"
#include "mapi/pst_session.h"
#include "tests/mapi/e2e_contacts.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace tressimo;
using Clock = std::chrono::steady_clock;

namespace {

struct Result
{
    double seconds = 0;
    double cpu = 0;
    std::uint64_t fileSize = 0;
};

Result run(long contacts, const std::filesystem::path& path, bool discard)
{
    mapi::PstSessionOptions options;
    options.session.environment = env::systemEnvironment();
    if (discard)
        options.openSink = [](const std::filesystem::path&) { return std::make_unique<bench::DiscardingSink>(); };

    const double cpu0 = bench::cpuSeconds();
    const auto t0 = Clock::now();
    auto session = mapi::createPstSession(std::move(options));
    session->Logon();
    mapi::RDOStore& created =
        session->Stores().AddPSTStore(path, mapi::olStoreDefault, "Windows Contacts : Bench");
    const std::string storeId = created.EntryID();
    created.ValidateIPMTree();
    // Each record is made just before it is written, as the run reads one file at a time
    // (making it costs about a microsecond).
    for (long i = 0; i < contacts; ++i)
        mapi::test::writeContact(session->GetStoreFromID(storeId).GetDefaultFolder(mapi::olFolderContacts),
                                 mapi::test::typicalContact(i));
    session->Logoff();
    Result r;
    r.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    r.cpu = bench::cpuSeconds() - cpu0;
    r.fileSize = discard ? 0 : std::filesystem::file_size(path);
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    const long contacts = argc > 1 ? std::atol(argv[1]) : 100000;
    const std::filesystem::path dir = argc > 2 ? argv[2] : "/tmp";
    const std::string tag = std::to_string(::getpid());

    const auto emptyPath = dir / ("mapi-bench-empty-" + tag + ".pst");
    run(0, emptyPath, false);
    const auto emptySize = std::filesystem::file_size(emptyPath);
    std::filesystem::remove(emptyPath);
    std::printf("empty store (tree built): %llu bytes (Outlook's empty file: 271,360)\n",
                static_cast<unsigned long long>(emptySize));

    const Result memory = run(contacts, dir / "unused.pst", true);
    std::printf("%ld contacts, bytes discarded: %.2f s, %.0f contacts/s, CPU %.2f s\n", contacts,
                memory.seconds, contacts / memory.seconds, memory.cpu);

    const auto path = dir / ("mapi-bench-" + tag + ".pst");
    const Result file = run(contacts, path, false);
    std::filesystem::remove(path);
    std::printf("%ld contacts, file in %s: %.2f s, %.0f contacts/s, CPU %.2f s\n", contacts, dir.c_str(),
                file.seconds, contacts / file.seconds, file.cpu);
    std::printf("file: %llu bytes, %.0f bytes per contact\n", static_cast<unsigned long long>(file.fileSize),
                static_cast<double>(file.fileSize - emptySize) / static_cast<double>(contacts));
    std::printf("peak RSS: %.1f MB (goal <= 150 MB)\n", bench::peakRssMb());
    return 0;
}
