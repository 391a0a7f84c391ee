#include "pst/check/dump.h"

#include "pst/check/block.h"
#include "pst/check/heap.h"
#include "pst/check/ltp_node.h"
#include "pst/check/name_map.h"
#include "pst/check/nid.h"
#include "pst/check/property_context.h"
#include "pst/check/table_context.h"

#include <optional>

namespace tressimo::pst::check {
namespace {

std::string tagText(std::uint32_t tag, const NameMap* names)
{
    std::string s = tagHex(tag) + " " + typeName(tagType(tag));
    if (names && tagId(tag) >= 0x8000)
        s += " [" + names->describe(tagId(tag)) + "]";
    return s;
}

std::string hexDump(const Bytes& b)
{
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (std::uint8_t c : b) {
        s += digits[c >> 4];
        s += digits[c & 0xF];
    }
    return s;
}

void dumpProperties(const PropertyMap& props, const NameMap* names, const std::string& indent,
                    std::ostream& out)
{
    for (const auto& [tag, value] : props)
        out << indent << tagText(tag, names) << " = " << value.toDisplayString() << "\n";
}

void dumpContent(const LtpNode& node, const NameMap* names, const std::string& indent, std::ostream& out)
{
    std::optional<Heap> heap;
    try {
        heap.emplace(node.blocks);
    } catch (const FormatError&) {
        Bytes all;
        for (const Bytes& b : node.blocks)
            all.insert(all.end(), b.begin(), b.end());
        out << indent << "raw " << all.size() << " bytes: " << hexDump(all) << "\n";
        return;
    }
    const auto sig = static_cast<HeapClient>(heap->clientSignature());
    if (sig == HeapClient::Properties) {
        out << indent << "property context, " << node.blocks.size() << " block(s)\n";
        dumpProperties(readPropertyContext(node), names, indent + "  ", out);
    } else if (sig == HeapClient::Table) {
        const Table t = readTableContext(node);
        out << indent << "table context, " << t.columns.size() << " columns, row size " << t.rowSize() << ", "
            << t.rows.size() << " rows, rows in "
            << (t.rowsHnid == 0     ? "nothing"
                : isHid(t.rowsHnid) ? "heap"
                                    : "subnode")
            << "\n";
        for (const TableColumn& c : t.columns)
            out << indent << "  column " << tagText(c.tag, names) << " ib " << c.offset << " cb "
                << int{c.size} << " bit " << int{c.cebBit} << "\n";
        for (const TableRow& r : t.rows) {
            out << indent << "  row " << hex(r.rowId) << " (row " << r.rowIndex << ")\n";
            dumpProperties(r.values, names, indent + "    ", out);
        }
    } else {
        out << indent << "heap with client signature " << hex(heap->clientSignature()) << "\n";
    }
}

void dumpNode(const PstFile& file, const LtpNode& node, const NameMap* names, const std::string& indent,
              std::ostream& out, int depth)
{
    try {
        dumpContent(node, names, indent, out);
    } catch (const FormatError& e) {
        out << indent << "unreadable: " << e.what() << "\n";
    }
    for (const SubnodeEntry& s : node.subnodes) {
        out << indent << "subnode " << describeNid(s.nid) << " data " << hex(s.bidData) << " sub "
            << hex(s.bidSub) << "\n";
        if (depth > 3)
            continue;
        try {
            dumpNode(file, loadSubnode(file, s, node.where), names, indent + "  ", out, depth + 1);
        } catch (const FormatError& e) {
            out << indent << "  unreadable: " << e.what() << "\n";
        }
    }
}

} // namespace

void dumpPst(const PstFile& file, std::ostream& out)
{
    const Header& h = file.header();
    out << "== header\n";
    out << "file " << file.name() << ", " << file.size() << " bytes\n";
    out << "dwMagic " << hex(h.magic) << ", wMagicClient " << hex(h.magicClient) << ", wVer " << h.version
        << ", wVerClient " << h.clientVersion << ", platform " << int{h.platformCreate} << "/"
        << int{h.platformAccess} << "\n";
    out << "dwCRCPartial " << hex(h.crcPartial) << " (computed " << hex(h.computedCrcPartial)
        << "), dwCRCFull " << hex(h.crcFull) << " (computed " << hex(h.computedCrcFull) << ")\n";
    out << "bidNextP " << hex(h.bidNextP) << ", bidNextB " << hex(h.bidNextB) << ", bidUnused "
        << hex(h.bidUnused) << ", dwUnique " << hex(h.unique) << "\n";
    out << "bCryptMethod " << int{h.cryptMethod} << ", bSentinel " << hex(h.sentinel) << "\n";
    out << "rgnid";
    for (std::size_t i = 0; i < h.rgnid.size(); ++i)
        out << (i % 8 == 0 ? "\n  " : " ") << "[" << hex(i) << "]=" << hex(h.rgnid[i]);
    out << "\n";
    out << "ibFileEof " << hex(h.fileEof) << ", ibAMapLast " << hex(h.amapLast) << ", cbAMapFree "
        << h.amapFree << ", cbPMapFree " << h.pmapFree << ", fAMapValid " << int{h.amapValid} << "\n";
    out << "NBT root " << hex(h.nbt.bid) << " at " << hex(h.nbt.ib) << ", BBT root " << hex(h.bbt.bid)
        << " at " << hex(h.bbt.ib) << "\n";

    out << "== map pages\n";
    const ByteView bytes = file.bytes();
    if (bytes.size() >= kDListOffset + kPageSize) {
        const PageTrailer t = parsePageTrailer(bytes.data() + kDListOffset);
        if (t.ptype == static_cast<std::uint8_t>(PageType::DList)) {
            const DList d = parseDList(bytes.data() + kDListOffset);
            out << "DList at " << hex(kDListOffset) << " bid " << hex(t.bid) << ": flags " << int{d.flags}
                << ", current page " << d.currentPage << ", " << int{d.entryCount} << " entries";
            for (const DListEntry& e : d.entries)
                out << " (" << e.amapIndex << ": " << e.freeSlots << " free)";
            out << "\n";
        } else {
            out << "no DList page at " << hex(kDListOffset) << "\n";
        }
    }
    for (const MapPage& m : requiredMapPages(file.size())) {
        const std::uint8_t* p = bytes.data() + m.offset;
        const PageTrailer t = parsePageTrailer(p);
        out << pageTypeName(static_cast<std::uint8_t>(m.type)) << " at " << hex(m.offset) << ": ptype "
            << hex(t.ptype) << ", bid " << hex(t.bid);
        if (m.type == PageType::AMap) {
            std::size_t clear = 0;
            for (std::size_t i = 0; i < kPageDataSize; ++i)
                clear += 8 - __builtin_popcount(p[i]);
            out << ", " << clear << " free slots";
        }
        out << "\n";
    }

    out << "== B-tree pages\n";
    for (const TreePage& p : file.treePages())
        out << pageTypeName(static_cast<std::uint8_t>(p.type)) << " page " << hex(p.bid) << " at "
            << hex(p.ib) << " level " << int{p.level} << " entries " << int{p.entryCount} << "\n";

    out << "== blocks (" << file.blocks().size() << ")\n";
    for (const BlockEntry& b : file.blocks()) {
        out << "block " << hex(b.bid) << " at " << hex(b.ib) << " cb " << b.cb << " cRef " << b.cRef;
        if (isInternalBid(b.bid)) {
            try {
                const InternalBlock ib = parseInternalBlock(file.readBlock(b.bid));
                out << " " << (ib.problem.empty() ? internalKindName(ib.kind) : "internal, " + ib.problem)
                    << " entries " << ib.entryCount;
                if (ib.kind == InternalKind::XBlock || ib.kind == InternalKind::XXBlock)
                    out << " lcbTotal " << ib.totalSize;
            } catch (const FormatError& e) {
                out << " unreadable: " << e.what();
            }
        }
        out << "\n";
    }

    out << "== nodes (" << file.nodes().size() << ")\n";
    for (const NodeEntry& n : file.nodes())
        out << describeNid(n.nid) << " parent " << hex(n.nidParent) << " data " << hex(n.bidData) << " sub "
            << hex(n.bidSub) << "\n";

    std::optional<NameMap> names;
    if (const NodeEntry* map = file.findNode(nids::NameToIdMap)) {
        try {
            names = readNameMap(readPropertyContext(loadNode(file, *map)));
        } catch (const FormatError&) {
        }
    }
    if (names) {
        out << "== name-to-ID map (" << names->entries.size() << " entries, " << names->bucketCount
            << " buckets)\n";
        for (const NamedProperty& e : names->entries)
            out << hex(e.id) << " = " << names->describe(e.id) << " (wGuid " << e.guidIndex << ")\n";
    }

    out << "== node contents\n";
    for (const NodeEntry& n : file.nodes()) {
        out << describeNid(n.nid) << " parent " << hex(n.nidParent) << "\n";
        if (n.bidData == 0) {
            out << "  no data\n";
            continue;
        }
        try {
            dumpNode(file, loadNode(file, n), names ? &*names : nullptr, "  ", out, 0);
        } catch (const FormatError& e) {
            out << "  unreadable: " << e.what() << "\n";
        }
    }
}

} // namespace tressimo::pst::check
