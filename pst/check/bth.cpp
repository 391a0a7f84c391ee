#include "pst/check/bth.h"

#include "pst/check/pst_file.h"

#include <algorithm>
#include <set>

namespace tressimo::pst::check {
namespace {

struct Walker
{
    const Heap& heap;
    const BthHeader& header;
    Findings* findings;
    std::string where;
    std::vector<BthRecord>& out;
    std::set<std::uint32_t> visited;

    void error(const char* code, std::string expected, std::string found)
    {
        if (findings)
            findings->error(code, where, std::move(expected), std::move(found));
    }

    // Keys compare as little-endian numbers, which is how the format orders them.
    static bool less(ByteView a, ByteView b)
    {
        return std::lexicographical_compare(a.rbegin(), a.rend(), b.rbegin(), b.rend());
    }

    void walk(std::uint32_t hid, int level, const ByteView* firstKey)
    {
        // Each allocation belongs to one place in the tree; a loop would never end.
        if (!visited.insert(hid).second) {
            error("BTH_RECORDS", "each allocation in the tree once",
                  "allocation " + hex(hid) + " reached again");
            return;
        }
        const ByteView items = heap.item(hid);
        const std::size_t recordSize = header.keySize + (level > 0 ? 4u : header.dataSize);
        if (items.size() % recordSize != 0)
            error("BTH_RECORDS",
                  "a multiple of " + std::to_string(recordSize) + " bytes in allocation " + hex(hid),
                  std::to_string(items.size()) + " bytes");
        const std::size_t count = items.size() / recordSize;
        if (count == 0 && level > 0)
            error("BTH_RECORDS", "index records in allocation " + hex(hid), "none");
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* r = items.data() + i * recordSize;
            const ByteView key(r, header.keySize);
            if (i == 0 && firstKey && !std::equal(key.begin(), key.end(), firstKey->begin(), firstKey->end()))
                error("BTH_KEY", "the index key of allocation " + hex(hid) + " as its first key",
                      "a different first key");
            if (level > 0) {
                const std::uint32_t child = getU32(r + header.keySize);
                // Index records must themselves be in order; the leaves are checked below.
                walk(child, level - 1, &key);
                continue;
            }
            if (!out.empty() && !less(out.back().key, key))
                error("BTH_ORDER", "keys in strictly ascending order",
                      "record " + std::to_string(out.size()) + " does not sort after the one before it");
            out.push_back({key, ByteView(r + header.keySize, recordSize - header.keySize)});
        }
    }
};

} // namespace

Bth readBth(const Heap& heap, std::uint32_t hid, Findings* findings)
{
    const std::string where = heap.where() + " BTH " + hex(hid);
    const ByteView h = heap.item(hid);
    if (h.size() != 8)
        throw FormatError(where + ": the BTH header is " + std::to_string(h.size()) + " bytes, not 8");
    Bth bth;
    bth.header = {h[0], h[1], h[2], h[3], getU32(h.data() + 4)};
    const BthHeader& hd = bth.header;
    const bool keyOk = hd.keySize == 2 || hd.keySize == 4 || hd.keySize == 8 || hd.keySize == 16;
    // Eight index levels would address more records than any heap can hold.
    if (hd.type != kBthType || !keyOk || hd.dataSize == 0 || hd.dataSize > 32 || hd.indexLevels > 8) {
        if (findings)
            findings->error("BTH_HEADER", where, "bType 0xB5, cbKey 2/4/8/16, cbEnt 1..32, bIdxLevels 0..8",
                            "bType " + hex(hd.type) + ", cbKey " + std::to_string(hd.keySize) + ", cbEnt " +
                                std::to_string(hd.dataSize) + ", bIdxLevels " +
                                std::to_string(hd.indexLevels));
        throw FormatError(where + ": not a BTH header");
    }
    if (hd.root == 0) {
        if (hd.indexLevels != 0 && findings)
            findings->error("BTH_HEADER", where, "bIdxLevels 0 for an empty tree",
                            "bIdxLevels " + std::to_string(hd.indexLevels));
        return bth;
    }
    Walker w{heap, hd, findings, where, bth.records, {}};
    w.walk(hd.root, hd.indexLevels, nullptr);
    return bth;
}

} // namespace tressimo::pst::check
