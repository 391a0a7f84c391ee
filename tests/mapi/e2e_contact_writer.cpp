// A small program that writes contacts into a new PST through the session model exactly as
// the contact writer does, reporting on stdout what has become durable; the durability test
// runs it and kills it at chosen moments. Usage: e2e_contact_writer FILE COUNT COMMIT_INTERVAL_MS.
// Lines: "created" once AddPSTStore returned, "tree" once ValidateIPMTree returned,
// "committed N" after each commit that made N items durable, "closing" before the Logoff that
// makes the rest durable, "done" after it.

#include "e2e_contacts.h"
#include "mapi/pst_session.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

void say(const std::string& line)
{
    const std::string text = line + "\n";
    // One write per line, unbuffered, so a line is either wholly out or not at all.
    if (::write(STDOUT_FILENO, text.data(), text.size()) < 0)
        std::_Exit(3);
}

} // namespace

int main(int argc, char** argv)
{
    using namespace tressimo::mapi;
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s FILE COUNT COMMIT_INTERVAL_MS\n", argv[0]);
        return 2;
    }
    const long count = std::atol(argv[2]);
    PstSessionOptions options;
    options.session.environment = tressimo::env::systemEnvironment();
    options.session.commitInterval = std::chrono::milliseconds(std::atol(argv[3]));
    options.onCommit = [](const CommitReport& report) {
        say("committed " + std::to_string(report.itemsDurable));
    };
    try {
        auto session = createPstSession(std::move(options));
        session->Logon();
        RDOStore& store = session->Stores().AddPSTStore(argv[1], olStoreDefault, "Windows Contacts : Killed");
        say("created");
        const std::string storeId = store.EntryID();
        store.ValidateIPMTree();
        say("tree");
        for (long i = 0; i < count; ++i)
            test::writeContact(session->GetStoreFromID(storeId).GetDefaultFolder(olFolderContacts),
                               test::typicalContact(i));
        say("closing");
        session->Logoff();
        say("done");
    } catch (const MapiError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
