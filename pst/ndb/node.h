#pragma once
// Node identifiers and node contents: the contract between the node database (which stores
// blocks, data trees and subnode trees) and the lists, tables and properties layer (which
// produces the bytes of a node).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "pst/io/bytes.h"

namespace tressimo::pst {

// Largest data part of one block: an 8192-byte block less its 16-byte trailer.
inline constexpr std::size_t kMaxBlockData = 8176;

using Bid = std::uint64_t;

// The low five bits of a node identifier say what the node is ([MS-PST] 2.2.2.1).
enum class NidType : std::uint8_t {
    Hid = 0x00,
    Internal = 0x01,
    NormalFolder = 0x02,
    SearchFolder = 0x03,
    NormalMessage = 0x04,
    Attachment = 0x05,
    SearchUpdateQueue = 0x06,
    SearchCriteriaObject = 0x07,
    AssocMessage = 0x08,
    ContentsTableIndex = 0x0A,
    ReceiveFolderTable = 0x0B,
    OutgoingQueueTable = 0x0C,
    HierarchyTable = 0x0D,
    ContentsTable = 0x0E,
    AssocContentsTable = 0x0F,
    SearchContentsTable = 0x10,
    AttachmentTable = 0x11,
    RecipientTable = 0x12,
    SearchTableIndex = 0x13,
    Ltp = 0x1F,
};

struct Nid
{
    std::uint32_t value = 0;

    static constexpr Nid make(NidType type, std::uint32_t index)
    {
        return Nid{(index << 5) | static_cast<std::uint32_t>(type)};
    }
    constexpr NidType type() const { return static_cast<NidType>(value & 0x1F); }
    constexpr std::uint32_t index() const { return value >> 5; }
    constexpr auto operator<=>(const Nid&) const = default;
};

// A node's data as stored: the blocks of its data stream, in order, each at most
// kMaxBlockData bytes. One block is stored as it is; several get a data tree (XBLOCK, or
// XXBLOCK past 1021 blocks). Block boundaries are meaningful (a heap page is one block, a
// table row never crosses one), so the producer cuts the blocks, not the database.
// Alternatively the stream can share the stored data of another node (sharedBid != 0),
// as empty tables share their template's block; the database counts the extra reference.
// Bytes of a plain stream made as they are stored, so that a large value never exists in
// full a second time: the database reads them in order from offset 0, one block at a time.
class StreamSource
{
public:
    virtual ~StreamSource() = default;
    virtual std::uint64_t size() const = 0;
    // Fills `out` with the bytes that follow the ones read before (the first read starts at 0).
    virtual void read(std::uint8_t* out, std::size_t size) = 0;
};

struct NodeStream
{
    std::vector<Bytes> blocks;
    Bid sharedBid = 0;
    // Instead of blocks: a plain stream cut into blocks of kMaxBlockData as it is stored
    // (read once).
    std::shared_ptr<StreamSource> source;

    bool empty() const { return blocks.empty() && sharedBid == 0 && (!source || source->size() == 0); }
};

// A subnode: a node that lives inside another node's subnode tree (SLBLOCK/SIBLOCK), with
// an identifier local to that node. It can have subnodes of its own.
struct SubnodeContent
{
    Nid nid;
    NodeStream data;
    std::vector<SubnodeContent> subnodes;
};

// Everything a node holds: its data stream and its subnodes, sorted by nid or not (the
// database sorts them).
struct NodeContent
{
    NodeStream data;
    std::vector<SubnodeContent> subnodes;
};

// Cuts a byte string into blocks of at most kMaxBlockData bytes (plain streams such as
// large property values, where block boundaries carry no meaning).
std::vector<Bytes> splitIntoBlocks(ByteView data);

} // namespace tressimo::pst
