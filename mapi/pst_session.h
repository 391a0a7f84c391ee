#pragma once
// The session over our PST writer with its seams open: where a new store's bytes go, which
// message store writes them, the time zone of the dates handed in, and a report of every
// commit. The product calls createSession (mapi.h), which fills these with the real file,
// the real writer and the process's time zone; tests and benchmarks fill them themselves.

#include "mapi/contact_time.h"
#include "mapi/mapi.h"
#include "pst/io/sink.h"
#include "pst/messaging/message_store.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>

namespace tressimo::mapi {

// Opens the file of a new store; must never replace an existing file.
using SinkFactory = std::function<std::unique_ptr<pst::Sink>(const std::filesystem::path& path)>;
// Writes a new message store into the sink (pst::MessageStore::create, or a fake).
using MessageStoreFactory = std::function<std::unique_ptr<pst::MessageStore>(
    std::unique_ptr<pst::Sink> sink, std::string_view displayName, const pst::StoreOptions& options)>;

// What a store has made durable, reported after each of its commits.
struct CommitReport
{
    std::filesystem::path path;
    // Items written into the store since it was created, all durable now.
    std::uint64_t itemsDurable = 0;
};

struct PstSessionOptions
{
    SessionOptions session;
    // Default: FileSink::createNew (exclusive create on disk).
    SinkFactory openSink;
    // Default: our PST writer (pstMessageStoreFactory).
    MessageStoreFactory createStore;
    pst::NdbOptions ndb;
    std::function<void(const CommitReport&)> onCommit;
};

std::unique_ptr<RDOSession> createPstSession(PstSessionOptions options);

// Our PST writer's message store.
MessageStoreFactory pstMessageStoreFactory();

} // namespace tressimo::mapi
