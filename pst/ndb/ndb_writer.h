#pragma once
// The node database of a Unicode PST file: blocks, data trees, subnode trees, the node and
// block B-trees, the allocation maps and the header. Callers put whole nodes; the writer
// stores their blocks at once and makes them durable at commit().
//
// Crash safety: the header is the commit point. New blocks and pages go only into space the
// committed allocation maps mark free, so until commit() writes the header the file on disk
// still describes the previous commit in full; the maps themselves are rewritten only while
// the header says they are invalid. The protocol is described at the top of ndb_writer.cpp.
// Nothing is durable before commit(); destroying the writer does not commit.
//
// Errors: a failed write throws IoError; from then on every call throws that same error and
// the file stays at its last commit.

#include "pst/io/sink.h"
#include "pst/ndb/node.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace tressimo::pst {

struct NdbOptions
{
    // Outlook writes permute-encoded data blocks; 0 (none) is handy when debugging.
    std::uint8_t cryptMethod = 1;
    // The file grows by whole allocation regions of 253,952 bytes, each growth a commit of its
    // own (two syncs): by an eighth of its size, at least 16 regions and at most this many
    // (32 MB); 1 grows exactly as Outlook does.
    std::uint32_t maxGrowthRegions = 128;
    // Adjacent writes are gathered into one of up to this many bytes; 0 writes every block and
    // page on its own.
    std::size_t writeBufferSize = std::size_t{1} << 20;
};

// What the node B-tree says of one node.
struct NodeInfo
{
    Nid nid;
    Nid parent;
    Bid dataBid = 0;
    Bid subnodeBid = 0;
};

class NdbWriter
{
public:
    // Starts a new, empty file in the sink and commits it, so the file is a valid (if
    // content-free) store from this moment.
    static std::unique_ptr<NdbWriter> create(std::unique_ptr<Sink> sink, const NdbOptions& options = {});
    virtual ~NdbWriter() = default;

    // Stores a node, replacing any node with the same nid (whose blocks are released).
    virtual void putNode(Nid nid, Nid parent, const NodeContent& content) = 0;
    // Removes a node and releases its blocks (a node that does not exist is left alone).
    virtual void deleteNode(Nid nid) = 0;
    virtual std::optional<NodeInfo> findNode(Nid nid) const = 0;

    // Hands out the next unused node index of a type and records it in the header's
    // high-water marks, so no index is ever given out twice.
    virtual Nid allocateNid(NidType type) = 0;
    // Raises a type's high-water mark past an index chosen by the caller (fixed nodes).
    virtual void reserveNid(Nid nid) = 0;

    // The next value of the store-wide counter whose last value the header's dwUnique holds:
    // table rows take their versions from it, so every header written afterwards, the next
    // commit's included, is above every version handed out before it.
    virtual std::uint32_t nextUnique() = 0;

    // Makes every node put so far durable: data and pages first, then the allocation maps,
    // then the header, each step synced.
    virtual void commit() = 0;

    // Bytes of the file, the end of file of the header on disk.
    virtual std::uint64_t fileSize() const = 0;
};

} // namespace tressimo::pst
