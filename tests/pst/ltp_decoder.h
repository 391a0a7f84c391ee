#pragma once
// A strict reader of heaps, BTHs, property contexts and table contexts, written apart from
// the builders so that tests check the bytes against the format, not against the builder's
// own idea of it. Every structural fault throws std::runtime_error naming it.

#include "pst/io/bytes.h"
#include "pst/ndb/node.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <vector>

namespace tressimo::pst::ltptest {

struct HeapView
{
    std::uint8_t clientSig = 0;
    std::uint32_t userRoot = 0;
    std::map<std::uint32_t, Bytes> items; // by HID
    std::size_t blocks = 0;
};
HeapView decodeHeap(const std::vector<Bytes>& blocks);

struct BthView
{
    std::uint8_t keySize = 0;
    std::uint8_t dataSize = 0;
    std::uint8_t indexLevels = 0;
    std::vector<Bytes> records; // key then data, in key order
};
BthView decodeBth(const HeapView& heap, std::uint32_t headerHid);

// Tag -> value bytes as stored (strings UTF-16LE, Boolean one byte).
std::map<std::uint32_t, Bytes> decodePc(const NodeContent& node);

struct TcColumnView
{
    std::uint32_t tag;
    std::uint16_t ibData;
    std::uint8_t cbData;
    std::uint8_t iBit;
    bool operator==(const TcColumnView&) const = default;
};
struct TcRow
{
    std::uint32_t id = 0;
    std::map<std::uint32_t, Bytes> cells; // present cells only
};
struct TcView
{
    std::vector<TcColumnView> columns; // as stored (sorted by tag)
    std::array<std::uint16_t, 4> rgib{};
    std::vector<TcRow> rows; // matrix order
    bool matrixInSubnode = false;
    std::vector<std::size_t> matrixBlockSizes;
};
TcView decodeTc(const NodeContent& node);

// Every top-level node of a PST file (data blocks decoded, subnodes read), for comparing
// with what Outlook wrote.
std::map<std::uint32_t, NodeContent> readPstNodes(const std::filesystem::path& path);

} // namespace tressimo::pst::ltptest
