#pragma once
// The conversion of .contact bytes into a new store kept in memory, as the run does it: read,
// hand over, write with the contact writer, log off. Shared by the store target and the seed
// maker.

#include "contacts/contact_document.h"
#include "contacts/contact_reader.h"
#include "mapi/pst_session.h"
#include "outlook/contact_item_writer.h"
#include "tests/support/kept_sink.h"

#include <algorithm>
#include <memory>
#include <string_view>
#include <vector>

namespace tressimo::fuzz {

struct WrittenStore
{
    pst::Bytes bytes;
    std::vector<outlook::ContactItemResult> items; // one per document that loaded
    std::uint64_t committed = 0;                   // ItemsCommitted after Logoff
};

// The store is memory, so nothing of the session may fail: its exceptions escape.
inline WrittenStore writeStore(const std::vector<std::string_view>& files)
{
    auto kept = std::make_shared<testing::KeptFile>(testing::KeptFile{pst::MemorySink("fuzz.pst")});
    mapi::PstSessionOptions options;
    options.session.clock = [] {
        return std::chrono::system_clock::time_point(std::chrono::hours(24 * 20000));
    };
    options.session.random = [](std::span<std::uint8_t> out) { std::fill(out.begin(), out.end(), 0x5A); };
    options.localToUtc = mapi::contact::fixedOffsetZone(0);
    options.openSink = [kept](const std::filesystem::path&) {
        return std::make_unique<testing::KeptSink>(kept);
    };

    WrittenStore written;
    const auto session = mapi::createPstSession(options);
    session->Logon();
    mapi::RDOStore& store = session->Stores().AddPSTStore("fuzz.pst", mapi::olStoreDefault, "Fuzz");
    const std::string storeID = store.EntryID();
    store.ValidateIPMTree();
    contacts::ContactRecord record;
    contacts::ContactReaderContext context;
    for (std::string_view file : files) {
        const auto document = contacts::ContactDocument::parse({file.begin(), file.end()}, "fuzz.contact");
        if (!document.loaded())
            continue;
        record.reset();
        contacts::DisplayNode(document.document(), record, context);
        written.items.push_back(outlook::CreateContactItem(*session, storeID, mapi::olFolderContacts,
                                                           contacts::handOver(record)));
    }
    session->Logoff();
    written.committed = store.ItemsCommitted();
    written.bytes = kept->bytes.bytes();
    return written;
}

} // namespace tressimo::fuzz
