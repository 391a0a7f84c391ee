#include "ndb_test_reader.h"

#include <algorithm>
#include <optional>
#include <set>
#include <sstream>

#include "pst/io/crc.h"
#include "pst/io/permute.h"

namespace tressimo::pst::testing {
namespace {

// The reader's own copy of the format's numbers, so that a wrong constant in the writer
// cannot hide behind the same wrong constant here.
constexpr std::uint64_t kPage = 512;
constexpr std::uint64_t kFirstAMap = 0x4400;
constexpr std::uint64_t kRegion = 496 * 8 * 64;
constexpr std::uint64_t kSlots = 496 * 8;
constexpr std::uint64_t kDList = 0x4200;

std::string hex(std::uint64_t v)
{
    std::ostringstream s;
    s << "0x" << std::hex << std::uppercase << v;
    return s.str();
}

std::uint16_t signature(std::uint64_t ib, std::uint64_t bid)
{
    std::uint32_t v = static_cast<std::uint32_t>(ib) ^ static_cast<std::uint32_t>(bid);
    return static_cast<std::uint16_t>((v >> 16) ^ (v & 0xFFFF));
}

std::uint64_t blockSize(std::uint64_t cb)
{
    return (cb + 16 + 63) / 64 * 64;
}

bool hasPMap(std::uint64_t r)
{
    return r % 8 == 0;
}
bool hasFMap(std::uint64_t r)
{
    return r >= 128 && (r - 128) % 496 == 0;
}
bool hasFPMap(std::uint64_t r)
{
    return r >= 8192 && (r - 8192) % (496 * 64) == 0;
}

} // namespace

NdbReader::NdbReader(ByteView file, ReaderOptions options) : m_file(file), m_options(options)
{
    if (!readHeader())
        return;
    readMapPages();
    int depth = 0;
    std::optional<std::uint64_t> lastKey;
    walkTree(m_nbtBid, m_nbtIb, 0x81, -1, depth, lastKey, true);
    nbtLevels = depth;
    depth = 0;
    lastKey.reset();
    walkTree(m_bbtBid, m_bbtIb, 0x80, -1, depth, lastKey, true);
    bbtLevels = depth;
    readBlocks();
    checkReferences();
    checkAllocation();
}

void NdbReader::problem(std::string text)
{
    m_problems.push_back(std::move(text));
}

std::string NdbReader::report() const
{
    std::string out;
    for (std::size_t i = 0; i < m_problems.size() && i < 30; ++i)
        out += m_problems[i] + "\n";
    if (m_problems.size() > 30)
        out += "... " + std::to_string(m_problems.size() - 30) + " more\n";
    return out;
}

bool NdbReader::readHeader()
{
    if (m_file.size() < 0x4400 + kRegion) {
        problem("file of " + std::to_string(m_file.size()) + " bytes is shorter than one region");
        return false;
    }
    const std::uint8_t* h = m_file.data();
    if (h[0] != '!' || h[1] != 'B' || h[2] != 'D' || h[3] != 'N')
        problem("header magic is not !BDN");
    if (h[8] != 'S' || h[9] != 'M')
        problem("header client magic is not SM");
    if (getU32(h + 4) != computeCrc(h + 8, 471))
        problem("header dwCRCPartial is wrong");
    if (getU32(h + 0x20C) != computeCrc(h + 8, 516))
        problem("header dwCRCFull is wrong");
    if (getU16(h + 10) != 23)
        problem("wVer is " + std::to_string(getU16(h + 10)) + ", not 23");
    if (getU16(h + 12) != 19)
        problem("wVerClient is not 19");
    if (h[14] != 1 || h[15] != 1)
        problem("platform bytes are not 1");
    if (h[0x200] != 0x80)
        problem("bSentinel is not 0x80");
    for (std::size_t i = 0x100; i < 0x200; ++i)
        if (h[i] != 0xFF) {
            problem("header rgbFM/rgbFP not all 0xFF");
            break;
        }
    bidNextP = getU64(h + 0x20);
    unique = getU32(h + 0x28);
    for (std::size_t i = 0; i < 32; ++i)
        rgnid[i] = getU32(h + 0x2C + 4 * i);
    const std::uint8_t* root = h + 0xB4;
    fileEof = getU64(root + 4);
    amapLast = getU64(root + 12);
    amapFree = getU64(root + 20);
    m_nbtBid = getU64(root + 36);
    m_nbtIb = getU64(root + 44);
    m_bbtBid = getU64(root + 52);
    m_bbtIb = getU64(root + 60);
    fAMapValid = root[68];
    cryptMethod = h[0x201];
    bidNextB = getU64(h + 0x204);
    if (cryptMethod > 1)
        problem("bCryptMethod " + std::to_string(cryptMethod) + " is not 0 or 1");
    if (fAMapValid != 0 && fAMapValid != 2)
        problem("fAMapValid is " + std::to_string(fAMapValid));
    if (fileEof < kFirstAMap + kRegion || (fileEof - kFirstAMap) % kRegion != 0) {
        problem("ibFileEof " + hex(fileEof) + " does not end a region");
        return false;
    }
    if (fileEof > m_file.size()) {
        problem("ibFileEof " + hex(fileEof) + " lies past the end of the file (" + hex(m_file.size()) + ")");
        return false;
    }
    if (fileEof != m_file.size() && !m_options.allowUncommittedGrowth)
        problem("file is " + hex(m_file.size()) + " bytes but ibFileEof says " + hex(fileEof));
    regions = (fileEof - kFirstAMap) / kRegion;
    if (amapLast != fileEof - kRegion)
        problem("ibAMapLast " + hex(amapLast) + " is not the last region's AMap");
    return true;
}

bool NdbReader::checkPage(std::uint64_t ib, std::uint8_t ptype, std::uint64_t bid, bool isSigned,
                          const char* what)
{
    if (ib % kPage != 0 || ib + kPage > fileEof || ib < kFirstAMap) {
        problem(std::string(what) + " page at " + hex(ib) + " is misplaced");
        return false;
    }
    const std::uint8_t* p = m_file.data() + ib;
    const std::uint8_t* t = p + 496;
    bool good = true;
    if (t[0] != ptype || t[1] != ptype) {
        problem(std::string(what) + " page at " + hex(ib) + " has ptype " + hex(t[0]) + "/" + hex(t[1]));
        good = false;
    }
    std::uint16_t sig = isSigned ? signature(ib, bid) : 0;
    if (getU16(t + 2) != sig) {
        problem(std::string(what) + " page at " + hex(ib) + " has a wrong signature");
        good = false;
    }
    if (getU32(t + 4) != computeCrc(p, 496)) {
        problem(std::string(what) + " page at " + hex(ib) + " has a wrong CRC");
        good = false;
    }
    if (getU64(t + 8) != bid) {
        problem(std::string(what) + " page at " + hex(ib) + " has BID " + hex(getU64(t + 8)) + ", expected " +
                hex(bid));
        good = false;
    }
    return good;
}

void NdbReader::addExtent(std::uint64_t offset, std::uint64_t size, std::string what)
{
    m_extents.push_back(Extent{offset, size, std::move(what)});
}

void NdbReader::readMapPages()
{
    bool valid = fAMapValid == 2;
    for (std::uint64_t r = 0; r < regions; ++r) {
        std::uint64_t base = kFirstAMap + r * kRegion;
        addExtent(base, kPage, "AMap");
        if (valid)
            checkPage(base, 0x84, base, false, "AMap");
        if (hasPMap(r)) {
            addExtent(base + kPage, kPage, "PMap");
            if (valid)
                checkPage(base + kPage, 0x83, base + kPage, false, "PMap");
        }
        if (hasFMap(r)) {
            addExtent(base + 2 * kPage, kPage, "FMap");
            if (valid)
                checkPage(base + 2 * kPage, 0x82, base + 2 * kPage, false, "FMap");
        }
        if (hasFPMap(r)) {
            addExtent(base + 3 * kPage, kPage, "FPMap");
            if (valid)
                checkPage(base + 3 * kPage, 0x85, base + 3 * kPage, false, "FPMap");
        }
    }
}

std::uint64_t NdbReader::walkTree(std::uint64_t bid, std::uint64_t ib, std::uint8_t ptype, int expectLevel,
                                  int& depth, std::optional<std::uint64_t>& lastKey, bool root)
{
    const char* what = ptype == 0x81 ? "NBT" : "BBT";
    if (!checkPage(ib, ptype, bid, true, what))
        return 0;
    if (m_pages.count(bid))
        problem(std::string(what) + " page BID " + hex(bid) + " is used twice");
    m_pages[bid] = ib;
    if (bid >= bidNextP)
        problem(std::string(what) + " page BID " + hex(bid) + " is not below bidNextP " + hex(bidNextP));
    addExtent(ib, kPage, std::string(what) + " page");
    const std::uint8_t* p = m_file.data() + ib;
    int cEnt = p[488], cEntMax = p[489], cbEnt = p[490], level = p[491];
    if (root) {
        depth = level + 1;
    } else if (level != expectLevel) {
        problem(std::string(what) + " page at " + hex(ib) + " has level " + std::to_string(level) +
                ", expected " + std::to_string(expectLevel));
        return 0;
    }
    bool leaf = level == 0;
    int wantSize = leaf ? (ptype == 0x81 ? 32 : 24) : 24;
    int wantMax = 488 / wantSize;
    if (cbEnt != wantSize || cEntMax != wantMax) {
        problem(std::string(what) + " page at " + hex(ib) + " has cbEnt " + std::to_string(cbEnt) +
                " / cEntMax " + std::to_string(cEntMax));
        return 0;
    }
    if (cEnt > cEntMax || (cEnt == 0 && !(root && leaf))) {
        problem(std::string(what) + " page at " + hex(ib) + " holds " + std::to_string(cEnt) + " entries");
        return 0;
    }
    std::uint64_t first = 0;
    for (int i = 0; i < cEnt; ++i) {
        const std::uint8_t* e = p + i * cbEnt;
        std::uint64_t key = getU64(e);
        if (i == 0)
            first = key;
        if (leaf) {
            if (lastKey && key <= *lastKey)
                problem(std::string(what) + " key " + hex(key) + " is out of order");
            if (ptype == 0x81 && key > 0xFFFFFFFF)
                problem("NBT key " + hex(key) + " is wider than a NID");
            lastKey = key;
            if (ptype == 0x81) {
                ReadNode n{static_cast<std::uint32_t>(key), getU32(e + 24), getU64(e + 8), getU64(e + 16)};
                if (!m_nodes.emplace(n.nid, n).second)
                    problem("node " + hex(n.nid) + " appears twice");
            } else {
                ReadBlock b{key, getU64(e + 8), getU16(e + 16), getU16(e + 18)};
                if (!m_blocks.emplace(b.bid, b).second)
                    problem("block " + hex(b.bid) + " appears twice");
            }
        } else {
            std::uint64_t childFirst =
                walkTree(getU64(e + 8), getU64(e + 16), ptype, level - 1, depth, lastKey, false);
            if (childFirst != key)
                problem(std::string(what) + " intermediate key " + hex(key) + " is not the first key " +
                        hex(childFirst) + " of its child");
        }
    }
    return first;
}

const std::uint8_t* NdbReader::blockData(const ReadBlock& b) const
{
    return m_file.data() + b.ib;
}

void NdbReader::readBlocks()
{
    for (auto& [bid, b] : m_blocks) {
        if (bid & 1)
            problem("block " + hex(bid) + " has the reserved BID bit set");
        if ((bid & ~std::uint64_t{3}) >= bidNextB)
            problem("block " + hex(bid) + " is not below bidNextB " + hex(bidNextB));
        std::uint64_t size = blockSize(b.cb);
        if (b.cb > 8176 || b.ib % 64 != 0 || b.ib < kFirstAMap || b.ib + size > fileEof) {
            problem("block " + hex(bid) + " at " + hex(b.ib) + " (" + std::to_string(b.cb) +
                    " bytes) is misplaced");
            b.cb = 0xFFFF; // unreadable from here on
            continue;
        }
        addExtent(b.ib, size, "block " + hex(bid));
        const std::uint8_t* t = m_file.data() + b.ib + size - 16;
        if (getU16(t) != b.cb)
            problem("block " + hex(bid) + " trailer says " + std::to_string(getU16(t)) + " bytes, BBT says " +
                    std::to_string(b.cb));
        if (getU16(t + 2) != signature(b.ib, bid))
            problem("block " + hex(bid) + " has a wrong signature");
        if (getU32(t + 4) != computeCrc(m_file.data() + b.ib, b.cb))
            problem("block " + hex(bid) + " has a wrong CRC");
        if (getU64(t + 8) != bid)
            problem("block " + hex(bid) + " trailer names BID " + hex(getU64(t + 8)));
    }
    for (auto& [nid, n] : m_nodes) {
        if (nid == 0)
            problem("node 0 in the NBT");
        if (rgnid[nid & 0x1F] < (nid >> 5))
            problem("node " + hex(nid) + " lies above its type's high-water mark " + hex(rgnid[nid & 0x1F]));
    }
}

void NdbReader::countInternal(const ReadBlock& b, std::map<std::uint64_t, int>& refs)
{
    const std::uint8_t* d = blockData(b);
    auto child = [&](std::uint64_t bid, const std::string& from) -> const ReadBlock* {
        auto it = m_blocks.find(bid);
        if (it == m_blocks.end()) {
            problem(from + " points to missing block " + hex(bid));
            return nullptr;
        }
        ++refs[bid];
        return &it->second;
    };
    std::string name = "block " + hex(b.bid);
    if (b.cb < 8) {
        problem(name + " is too small for an internal block");
        return;
    }
    int btype = d[0], level = d[1], cEnt = getU16(d + 2);
    if (btype == 1) {
        if ((level != 1 && level != 2) || cEnt == 0 || b.cb != 8 + 8 * cEnt) {
            problem(name + " is a malformed XBLOCK (level " + std::to_string(level) + ", " +
                    std::to_string(cEnt) + " entries, " + std::to_string(b.cb) + " bytes)");
            return;
        }
        std::uint64_t total = 0;
        for (int i = 0; i < cEnt; ++i) {
            const ReadBlock* c = child(getU64(d + 8 + 8 * i), name);
            if (!c || c->cb == 0xFFFF)
                continue;
            if (level == 1) {
                if (c->bid & 2)
                    problem(name + " (XBLOCK) points to internal block " + hex(c->bid));
                total += c->cb;
            } else {
                const std::uint8_t* cd = blockData(*c);
                if (!(c->bid & 2) || c->cb < 8 || cd[0] != 1 || cd[1] != 1)
                    problem(name + " (XXBLOCK) points to " + hex(c->bid) + ", which is no XBLOCK");
                else
                    total += getU32(cd + 4);
            }
        }
        if (getU32(d + 4) != total)
            problem(name + " says lcbTotal " + std::to_string(getU32(d + 4)) + ", its blocks hold " +
                    std::to_string(total));
    } else if (btype == 2) {
        int entrySize = level == 0 ? 24 : 16;
        if (level > 1 || cEnt == 0 || b.cb != 8 + entrySize * cEnt || getU32(d + 4) != 0) {
            problem(name + " is a malformed subnode block");
            return;
        }
        std::uint32_t last = 0;
        bool junk = false;
        for (int i = 0; i < cEnt; ++i) {
            const std::uint8_t* e = d + 8 + entrySize * i;
            // Only the low 32 bits are the NID; Outlook 2007 left junk above them.
            std::uint32_t nid = getU32(e);
            junk = junk || getU32(e + 4) != 0;
            if (i > 0 && nid <= last)
                problem(name + " lists subnode " + hex(nid) + " out of order");
            if (nid == 0)
                problem(name + " lists subnode identifier 0");
            last = nid;
            if (level == 0) {
                if (std::uint64_t data = getU64(e + 8)) {
                    const ReadBlock* c = child(data, name);
                    if (c && c->cb != 0xFFFF && (c->bid & 2) && (c->cb < 8 || blockData(*c)[0] != 1))
                        problem(name + ": subnode data " + hex(data) +
                                " is neither a data block nor a data tree");
                }
                if (std::uint64_t sub = getU64(e + 16)) {
                    const ReadBlock* c = child(sub, name);
                    if (c && c->cb != 0xFFFF && (!(c->bid & 2) || c->cb < 8 || blockData(*c)[0] != 2))
                        problem(name + ": nested subnodes " + hex(sub) + " are no subnode tree");
                }
            } else {
                const ReadBlock* c = child(getU64(e + 8), name);
                if (c && c->cb != 0xFFFF) {
                    const std::uint8_t* cd = blockData(*c);
                    if (!(c->bid & 2) || c->cb < 16 || cd[0] != 2 || cd[1] != 0)
                        problem(name + " (SIBLOCK) points to " + hex(c->bid) + ", which is no SLBLOCK");
                    else if (getU32(cd + 8) != nid)
                        problem(name + " (SIBLOCK) key " + hex(nid) +
                                " is not the first subnode of its SLBLOCK");
                }
            }
        }
        if (junk)
            problem(name + " keeps bytes above its 32-bit subnode identifiers");
    } else {
        problem(name + " is internal but has block type " + std::to_string(btype));
    }
}

void NdbReader::checkReferences()
{
    std::map<std::uint64_t, int> refs;
    for (const auto& [nid, n] : m_nodes) {
        std::string name = "node " + hex(nid);
        if (n.data) {
            auto it = m_blocks.find(n.data);
            if (it == m_blocks.end())
                problem(name + " points to missing data block " + hex(n.data));
            else {
                ++refs[n.data];
                const ReadBlock& b = it->second;
                if ((b.bid & 2) && b.cb != 0xFFFF && (b.cb < 8 || blockData(b)[0] != 1))
                    problem(name + " data " + hex(n.data) + " is neither a data block nor a data tree");
            }
        }
        if (n.sub) {
            auto it = m_blocks.find(n.sub);
            if (it == m_blocks.end())
                problem(name + " points to missing subnode block " + hex(n.sub));
            else {
                ++refs[n.sub];
                const ReadBlock& b = it->second;
                if (!(b.bid & 2) || (b.cb != 0xFFFF && (b.cb < 8 || blockData(b)[0] != 2)))
                    problem(name + " subnodes " + hex(n.sub) + " are no subnode tree");
            }
        }
    }
    for (const auto& [bid, b] : m_blocks)
        if ((bid & 2) && b.cb != 0xFFFF)
            countInternal(b, refs);
    for (const auto& [bid, b] : m_blocks) {
        int expected = 1 + refs[bid];
        if (refs[bid] == 0)
            problem("block " + hex(bid) + " is referenced by nothing (cRef " + std::to_string(b.cRef) + ")");
        else if (b.cRef != expected)
            problem("block " + hex(bid) + " has cRef " + std::to_string(b.cRef) + ", expected " +
                    std::to_string(expected));
    }
}

void NdbReader::checkAllocation()
{
    // Nothing may overlap, cross a region boundary or cover a map page.
    std::sort(m_extents.begin(), m_extents.end(),
              [](const Extent& a, const Extent& b) { return a.offset < b.offset; });
    for (std::size_t i = 0; i < m_extents.size(); ++i) {
        const Extent& e = m_extents[i];
        if (i > 0 && m_extents[i - 1].offset + m_extents[i - 1].size > e.offset)
            problem(e.what + " at " + hex(e.offset) + " overlaps " + m_extents[i - 1].what + " at " +
                    hex(m_extents[i - 1].offset));
        if ((e.offset - kFirstAMap) / kRegion != (e.offset + e.size - 1 - kFirstAMap) / kRegion)
            problem(e.what + " at " + hex(e.offset) + " crosses a region boundary");
    }
    for (const auto& [bid, ib] : m_pages)
        if (bid == 0)
            problem("page BID 0 at " + hex(ib));

    if (fAMapValid != 2)
        return; // the maps are to be rebuilt; nothing to compare them with

    std::vector<std::vector<bool>> used(regions, std::vector<bool>(kSlots, false));
    for (const Extent& e : m_extents) {
        std::uint64_t r = (e.offset - kFirstAMap) / kRegion;
        if (r >= regions)
            continue;
        std::uint64_t first = (e.offset - kFirstAMap - r * kRegion) / 64;
        for (std::uint64_t s = first; s < first + e.size / 64 && s < kSlots; ++s)
            used[r][s] = true;
    }
    std::uint64_t freeSlotsTotal = 0;
    std::vector<std::uint32_t> freeSlots(regions), longestRun(regions);
    for (std::uint64_t r = 0; r < regions; ++r) {
        const std::uint8_t* bits = m_file.data() + kFirstAMap + r * kRegion;
        std::uint32_t free = 0, run = 0, best = 0;
        int mismatches = 0;
        for (std::uint64_t s = 0; s < kSlots; ++s) {
            bool set = (bits[s / 8] >> (7 - s % 8)) & 1;
            if (set != used[r][s] && mismatches++ == 0)
                problem("AMap " + std::to_string(r) + " says slot " + std::to_string(s) + " (" +
                        hex(kFirstAMap + r * kRegion + s * 64) + ") is " + (set ? "used" : "free") +
                        " but it is " + (used[r][s] ? "used" : "free"));
            if (!set) {
                ++free;
                best = std::max(best, ++run);
            } else {
                run = 0;
            }
        }
        if (mismatches > 1)
            problem("AMap " + std::to_string(r) + " disagrees on " + std::to_string(mismatches) +
                    " slots in all");
        freeSlots[r] = free;
        longestRun[r] = best;
        freeSlotsTotal += free;
    }
    if (amapFree != freeSlotsTotal * 64)
        problem("cbAMapFree is " + std::to_string(amapFree) + ", the AMaps show " +
                std::to_string(freeSlotsTotal * 64));
    for (std::uint64_t r = 0; r < regions; ++r) {
        if (!hasFMap(r))
            continue;
        const std::uint8_t* fmap = m_file.data() + kFirstAMap + r * kRegion + 2 * kPage;
        for (std::uint64_t i = 0; i < 496; ++i) {
            std::uint32_t expected = r + i < regions ? std::min<std::uint32_t>(255, longestRun[r + i]) : 0;
            if (fmap[i] != expected) {
                problem("FMap of region " + std::to_string(r) + " says " + std::to_string(fmap[i]) +
                        " for AMap " + std::to_string(r + i) + ", its longest free run is " +
                        std::to_string(expected));
                break;
            }
        }
    }
    // The density list: valid page, entries that agree with the AMaps, most free first.
    const std::uint8_t* d = m_file.data() + kDList;
    const std::uint8_t* t = d + 496;
    if (t[0] != 0x86 || t[1] != 0x86 || getU32(t + 4) != computeCrc(d, 496) ||
        getU16(t + 2) != signature(kDList, getU64(t + 8))) {
        problem("density list page is invalid");
        return;
    }
    int count = d[1];
    if (count > 119)
        problem("density list holds " + std::to_string(count) + " entries");
    std::set<std::uint32_t> seen;
    std::uint32_t previousFree = 0xFFFFFFFF;
    for (int i = 0; i < count && i < 119; ++i) {
        std::uint32_t entry = getU32(d + 8 + 4 * i);
        std::uint32_t amap = entry & 0xFFFFF, free = entry >> 20;
        if (amap >= regions || !seen.insert(amap).second) {
            problem("density list entry " + std::to_string(i) + " names AMap " + std::to_string(amap));
            continue;
        }
        if (free != freeSlots[amap])
            problem("density list says AMap " + std::to_string(amap) + " has " + std::to_string(free) +
                    " free slots, it has " + std::to_string(freeSlots[amap]));
        if (free > previousFree)
            problem("density list is not ordered by free space");
        previousFree = free;
    }
    if ((d[0] & 1) && getU32(d + 4) >= regions)
        problem("density list current page " + std::to_string(getU32(d + 4)) + " does not exist");
}

Bytes NdbReader::storedBlock(std::uint64_t bid) const
{
    auto it = m_blocks.find(bid);
    if (it == m_blocks.end() || it->second.cb == 0xFFFF)
        return {};
    const std::uint8_t* d = blockData(it->second);
    return Bytes(d, d + it->second.cb);
}

std::vector<Bytes> NdbReader::streamBlocks(std::uint64_t bid) const
{
    std::vector<Bytes> out;
    if (bid == 0)
        return out;
    Bytes stored = storedBlock(bid);
    if (!(bid & 2)) {
        if (cryptMethod == 1)
            permuteDecode(stored.data(), stored.size());
        out.push_back(std::move(stored));
        return out;
    }
    if (stored.size() < 8 || stored[0] != 1)
        return out;
    int cEnt = getU16(stored.data() + 2);
    for (int i = 0; i < cEnt && 8 + 8 * i + 8 <= static_cast<int>(stored.size()); ++i) {
        std::vector<Bytes> part = streamBlocks(getU64(stored.data() + 8 + 8 * i));
        for (Bytes& b : part)
            out.push_back(std::move(b));
    }
    return out;
}

Bytes NdbReader::stream(std::uint64_t bid) const
{
    Bytes out;
    for (const Bytes& b : streamBlocks(bid))
        out.insert(out.end(), b.begin(), b.end());
    return out;
}

int NdbReader::dataTreeDepth(std::uint64_t bid) const
{
    if (!(bid & 2))
        return m_blocks.count(bid) ? 0 : -1;
    Bytes stored = storedBlock(bid);
    return stored.size() >= 8 && stored[0] == 1 ? stored[1] : -1;
}

std::map<std::uint32_t, ReadSubnode> NdbReader::subnodes(std::uint64_t bid) const
{
    std::map<std::uint32_t, ReadSubnode> out;
    Bytes stored = storedBlock(bid);
    if (stored.size() < 8 || stored[0] != 2)
        return out;
    int level = stored[1], cEnt = getU16(stored.data() + 2);
    for (int i = 0; i < cEnt; ++i) {
        if (level == 0) {
            const std::uint8_t* e = stored.data() + 8 + 24 * i;
            ReadSubnode s{getU32(e), getU64(e + 8), getU64(e + 16)};
            out[s.nid] = s;
        } else {
            for (auto& [nid, s] : subnodes(getU64(stored.data() + 8 + 16 * i + 8)))
                out[nid] = s;
        }
    }
    return out;
}

int NdbReader::subnodeTreeDepth(std::uint64_t bid) const
{
    Bytes stored = storedBlock(bid);
    return stored.size() >= 8 && stored[0] == 2 ? stored[1] : -1;
}

} // namespace tressimo::pst::testing
