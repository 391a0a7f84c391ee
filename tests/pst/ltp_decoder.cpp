#include "tests/pst/ltp_decoder.h"

#include "pst/io/permute.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace tressimo::pst::ltptest {
namespace {

void require(bool ok, const std::string& what)
{
    if (!ok)
        throw std::runtime_error(what);
}

std::uint8_t expectedFill(std::size_t size)
{
    const std::size_t free = 8176 - size;
    const std::size_t bounds[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024, 768,
                                  512,  256,  128,  64,   32,   16,   8};
    for (std::uint8_t level = 0; level < 15; ++level) {
        if (free >= bounds[level])
            return level;
    }
    return 15;
}

std::uint8_t nibble(const std::uint8_t* map, std::size_t i)
{
    return (i % 2 == 0 ? map[i / 2] : map[i / 2] >> 4) & 0x0F;
}

int compareKeys(const Bytes& a, const Bytes& b, std::size_t size)
{
    for (std::size_t i = size; i-- > 0;) {
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

void readLevel(const HeapView& heap, std::uint32_t hid, int level, std::size_t keySize, std::size_t dataSize,
               std::vector<Bytes>& out)
{
    const auto it = heap.items.find(hid);
    require(it != heap.items.end(), "BTH points at missing HID " + std::to_string(hid));
    const Bytes& item = it->second;
    const std::size_t entry = level == 0 ? keySize + dataSize : keySize + 4;
    require(!item.empty() && item.size() % entry == 0, "BTH allocation of bad size");
    for (std::size_t at = 0; at < item.size(); at += entry) {
        if (level == 0) {
            out.emplace_back(item.begin() + at, item.begin() + at + entry);
            continue;
        }
        const std::size_t first = out.size();
        readLevel(heap, getU32(item.data() + at + keySize), level - 1, keySize, dataSize, out);
        require(std::equal(item.begin() + at, item.begin() + at + keySize, out[first].begin()),
                "BTH index key differs from its child's first key");
    }
}

Bytes resolveHnid(const HeapView& heap, const NodeContent& node, std::uint32_t hnid)
{
    if (hnid == 0)
        return {};
    if ((hnid & 0x1F) == 0) {
        const auto it = heap.items.find(hnid);
        require(it != heap.items.end(), "HNID points at missing HID " + std::to_string(hnid));
        return it->second;
    }
    for (const SubnodeContent& sub : node.subnodes) {
        if (sub.nid.value == hnid) {
            Bytes out;
            for (const Bytes& b : sub.data.blocks)
                out.insert(out.end(), b.begin(), b.end());
            return out;
        }
    }
    throw std::runtime_error("HNID points at missing subnode " + std::to_string(hnid));
}

std::size_t fixedSizeOf(std::uint16_t type)
{
    switch (type) {
    case 0x0B:
        return 1;
    case 0x02:
        return 2;
    case 0x03:
    case 0x04:
    case 0x0A:
        return 4;
    case 0x05:
    case 0x06:
    case 0x07:
    case 0x14:
    case 0x40:
        return 8;
    default:
        return 0; // variable, or a GUID: both stored through an HNID in a table
    }
}

} // namespace

HeapView decodeHeap(const std::vector<Bytes>& blocks)
{
    HeapView heap;
    heap.blocks = blocks.size();
    require(!blocks.empty(), "a heap has at least one block");
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const Bytes& block = blocks[b];
        const std::string where = "heap block " + std::to_string(b) + ": ";
        require(block.size() >= 8 && block.size() <= 8176, where + "bad size");
        const bool bitmap = b >= 8 && (b - 8) % 128 == 0;
        const std::size_t headerSize = b == 0 ? 12 : bitmap ? 66 : 2;
        const std::size_t ibHnpm = getU16(block.data());
        require(ibHnpm % 2 == 0 && ibHnpm + 4 <= block.size(), where + "bad ibHnpm");
        const std::size_t cAlloc = getU16(block.data() + ibHnpm);
        require(cAlloc <= 2047, where + "more allocations than an HID can number");
        require(getU16(block.data() + ibHnpm + 2) == 0, where + "freed allocations");
        require(ibHnpm + 4 + 2 * (cAlloc + 1) == block.size(), where + "page map does not end the block");
        std::size_t previous = headerSize;
        require(getU16(block.data() + ibHnpm + 4) == headerSize, where + "first allocation not after header");
        for (std::size_t i = 1; i <= cAlloc; ++i) {
            const std::size_t end = getU16(block.data() + ibHnpm + 4 + 2 * i);
            require(end > previous && end - previous <= 3580 && end <= ibHnpm,
                    where + "bad allocation bounds");
            const std::uint32_t hid = static_cast<std::uint32_t>(b << 16 | i << 5);
            heap.items[hid] = Bytes(block.begin() + previous, block.begin() + end);
            previous = end;
        }
        require(ibHnpm - previous <= 1, where + "gap before page map");
        if (b == 0) {
            require(block[2] == 0xEC, "heap signature is not 0xEC");
            heap.clientSig = block[3];
            heap.userRoot = getU32(block.data() + 4);
            for (std::size_t k = 0; k < 8; ++k) {
                const std::uint8_t want = k < blocks.size() ? expectedFill(blocks[k].size()) : 0;
                require(nibble(block.data() + 8, k) == want,
                        "HNHDR fill level of block " + std::to_string(k));
            }
        } else if (bitmap) {
            for (std::size_t k = 0; k < 128; ++k) {
                const std::uint8_t want = b + k < blocks.size() ? expectedFill(blocks[b + k].size()) : 0;
                require(nibble(block.data() + 2, k) == want,
                        where + "bitmap fill level " + std::to_string(k));
            }
        }
    }
    return heap;
}

BthView decodeBth(const HeapView& heap, std::uint32_t headerHid)
{
    const auto it = heap.items.find(headerHid);
    require(it != heap.items.end() && it->second.size() == 8, "missing BTH header");
    const Bytes& h = it->second;
    require(h[0] == 0xB5, "BTH header type is not 0xB5");
    BthView bth{h[1], h[2], h[3], {}};
    require(bth.keySize == 2 || bth.keySize == 4 || bth.keySize == 8 || bth.keySize == 16,
            "bad BTH key size");
    const std::uint32_t root = getU32(h.data() + 4);
    if (root != 0)
        readLevel(heap, root, bth.indexLevels, bth.keySize, bth.dataSize, bth.records);
    for (std::size_t i = 1; i < bth.records.size(); ++i)
        require(compareKeys(bth.records[i - 1], bth.records[i], bth.keySize) < 0, "BTH keys out of order");
    return bth;
}

std::map<std::uint32_t, Bytes> decodePc(const NodeContent& node)
{
    const HeapView heap = decodeHeap(node.data.blocks);
    require(heap.clientSig == 0xBC, "not a property context");
    const BthView bth = decodeBth(heap, heap.userRoot);
    require(bth.keySize == 2 && bth.dataSize == 6, "PC BTH is not 2/6");
    std::map<std::uint32_t, Bytes> out;
    for (const Bytes& r : bth.records) {
        const std::uint16_t type = getU16(r.data() + 2);
        const std::uint32_t tag = std::uint32_t{getU16(r.data())} << 16 | type;
        const std::uint32_t hnid = getU32(r.data() + 4);
        const std::size_t size = fixedSizeOf(type);
        if (size >= 1 && size <= 4) {
            require(size == 4 || hnid >> (8 * size) == 0, "inline value has junk in its upper bytes");
            out[tag] = Bytes(r.begin() + 4, r.begin() + 4 + static_cast<std::ptrdiff_t>(size));
        } else {
            out[tag] = resolveHnid(heap, node, hnid);
        }
    }
    return out;
}

TcView decodeTc(const NodeContent& node)
{
    const HeapView heap = decodeHeap(node.data.blocks);
    require(heap.clientSig == 0x7C, "not a table context");
    const auto infoIt = heap.items.find(heap.userRoot);
    require(infoIt != heap.items.end(), "missing TCINFO");
    const Bytes& info = infoIt->second;
    require(info.size() >= 22 && info[0] == 0x7C && info.size() == 22u + 8u * info[1], "bad TCINFO");
    TcView tc;
    for (std::size_t i = 0; i < 4; ++i)
        tc.rgib[i] = getU16(info.data() + 2 + 2 * i);
    require(getU32(info.data() + 18) == 0, "hidIndex is not 0");
    for (std::size_t i = 0; i < info[1]; ++i) {
        const std::uint8_t* c = info.data() + 22 + 8 * i;
        tc.columns.push_back({getU32(c), getU16(c + 4), c[6], c[7]});
        require(i == 0 || tc.columns[i - 1].tag < tc.columns[i].tag, "TCOLDESC not sorted by tag");
        const TcColumnView& col = tc.columns.back();
        require(col.ibData + col.cbData <= tc.rgib[2] && col.iBit < info[1], "column outside the row");
    }
    const std::size_t rowSize = tc.rgib[3];
    require(rowSize == tc.rgib[2] + (info[1] + 7u) / 8u, "CEB size does not fit the columns");

    const BthView index = decodeBth(heap, getU32(info.data() + 10));
    require(index.keySize == 4 && index.dataSize == 4, "row index is not 4/4");

    const std::uint32_t hnidRows = getU32(info.data() + 14);
    std::vector<const std::uint8_t*> rows;
    Bytes heapMatrix;
    if (hnidRows != 0 && (hnidRows & 0x1F) == 0) {
        heapMatrix = resolveHnid(heap, node, hnidRows);
        require(heapMatrix.size() % rowSize == 0, "heap matrix is not whole rows");
        for (std::size_t at = 0; at < heapMatrix.size(); at += rowSize)
            rows.push_back(heapMatrix.data() + at);
    } else if (hnidRows != 0) {
        tc.matrixInSubnode = true;
        const auto sub = std::find_if(node.subnodes.begin(), node.subnodes.end(),
                                      [&](const SubnodeContent& s) { return s.nid.value == hnidRows; });
        require(sub != node.subnodes.end(), "missing row matrix subnode");
        const std::size_t perBlock = 8176 / rowSize;
        for (std::size_t b = 0; b < sub->data.blocks.size(); ++b) {
            const Bytes& block = sub->data.blocks[b];
            tc.matrixBlockSizes.push_back(block.size());
            const bool last = b + 1 == sub->data.blocks.size();
            require(last ? block.size() % rowSize == 0 && block.size() <= perBlock * rowSize
                         : block.size() == 8176,
                    "row matrix block " + std::to_string(b) + " has " + std::to_string(block.size()) +
                        " bytes");
            const std::size_t n = last ? block.size() / rowSize : perBlock;
            require(std::all_of(block.begin() + static_cast<std::ptrdiff_t>(n * rowSize), block.end(),
                                [](std::uint8_t x) { return x == 0; }),
                    "row matrix padding is not zero");
            for (std::size_t r = 0; r < n; ++r)
                rows.push_back(block.data() + r * rowSize);
        }
    }
    require(index.records.size() == rows.size(), "row index and matrix disagree on the row count");

    std::vector<bool> indexed(rows.size());
    for (const Bytes& r : index.records) {
        const std::uint32_t number = getU32(r.data() + 4);
        require(number < rows.size() && !indexed[number], "row index entry points at a bad row");
        indexed[number] = true;
        require(getU32(rows[number]) == getU32(r.data()), "row index id differs from the row's id");
    }
    for (const std::uint8_t* row : rows) {
        TcRow out{getU32(row), {}};
        const std::uint8_t* ceb = row + tc.rgib[2];
        for (std::size_t bit = info[1]; bit < (rowSize - tc.rgib[2]) * 8; ++bit)
            require(!(ceb[bit / 8] & (0x80 >> (bit % 8))), "CEB bit past the columns is set");
        for (const TcColumnView& c : tc.columns) {
            const Bytes slot(row + c.ibData, row + c.ibData + c.cbData);
            if (!(ceb[c.iBit / 8] & (0x80 >> (c.iBit % 8)))) {
                require(std::all_of(slot.begin(), slot.end(), [](std::uint8_t x) { return x == 0; }),
                        "absent cell is not zero");
                continue;
            }
            const std::size_t size = fixedSizeOf(static_cast<std::uint16_t>(c.tag & 0xFFFF));
            out.cells[c.tag] = size ? slot : resolveHnid(heap, node, getU32(slot.data()));
        }
        tc.rows.push_back(std::move(out));
    }
    return tc;
}

std::map<std::uint32_t, NodeContent> readPstNodes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    require(file.size() > 0x210 && file[0x0A] == 23, "not a Unicode PST: " + path.string());
    const bool permuted = file[0x201] == 1;

    std::map<std::uint64_t, std::pair<std::uint64_t, std::uint16_t>> blockAt; // bid -> (offset, size)
    std::vector<std::array<std::uint64_t, 3>> nodes;                          // nid, data bid, subnode bid
    auto walk = [&](auto&& self, std::uint64_t offset, bool nbt) -> void {
        const std::uint8_t* page = file.data() + offset;
        const std::uint8_t count = page[488], entrySize = page[490], level = page[491];
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* e = page + i * entrySize;
            if (level > 0)
                self(self, getU64(e + 16), nbt);
            else if (nbt)
                nodes.push_back({getU64(e) & 0xFFFFFFFF, getU64(e + 8), getU64(e + 16)});
            else
                blockAt[getU64(e) & ~1ull] = {getU64(e + 8), getU16(e + 16)};
        }
    };
    walk(walk, getU64(file.data() + 0xB4 + 44), true);
    walk(walk, getU64(file.data() + 0xB4 + 60), false);

    auto block = [&](std::uint64_t bid) {
        const auto [offset, size] = blockAt.at(bid & ~1ull);
        Bytes data(file.begin() + static_cast<std::ptrdiff_t>(offset),
                   file.begin() + static_cast<std::ptrdiff_t>(offset + size));
        if (permuted && !(bid & 2))
            permuteDecode(data.data(), data.size());
        return data;
    };
    auto stream = [&](auto&& self, std::uint64_t bid, std::vector<Bytes>& out) -> void {
        if (!(bid & 2)) {
            out.push_back(block(bid));
            return;
        }
        const Bytes x = block(bid); // XBLOCK or XXBLOCK: type, level, count, total, then BIDs
        for (std::size_t i = 0; i < getU16(x.data() + 2); ++i)
            self(self, getU64(x.data() + 8 + 8 * i), out);
    };
    auto subnodes = [&](auto&& self, std::uint64_t bid, std::vector<SubnodeContent>& out) -> void {
        if (bid == 0)
            return;
        const Bytes s = block(bid);
        for (std::size_t i = 0; i < getU16(s.data() + 2); ++i) {
            if (s[1] != 0) { // SIBLOCK: nid, bid of an SLBLOCK
                self(self, getU64(s.data() + 8 + 16 * i + 8), out);
                continue;
            }
            const std::uint8_t* e = s.data() + 8 + 24 * i;
            SubnodeContent sub;
            sub.nid = Nid{static_cast<std::uint32_t>(getU64(e))};
            if (getU64(e + 8))
                stream(stream, getU64(e + 8), sub.data.blocks);
            self(self, getU64(e + 16), sub.subnodes);
            out.push_back(std::move(sub));
        }
    };
    std::map<std::uint32_t, NodeContent> out;
    for (const auto& [nid, dataBid, subBid] : nodes) {
        NodeContent& node = out[static_cast<std::uint32_t>(nid)];
        if (dataBid)
            stream(stream, dataBid, node.data.blocks);
        subnodes(subnodes, subBid, node.subnodes);
    }
    return out;
}

} // namespace tressimo::pst::ltptest
