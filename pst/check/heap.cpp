#include "pst/check/heap.h"

#include "pst/check/pst_file.h"

namespace tressimo::pst::check {
namespace {

constexpr std::size_t kHnHeaderSize = 12;
constexpr std::size_t kHnPageHeaderSize = 2;
constexpr std::size_t kHnBitmapHeaderSize = 66;

// Blocks 8, 136, 264, ... start with an HNBITMAPHDR ([MS-PST] 2.3.1.4).
bool isBitmapPage(std::size_t index)
{
    return index >= 8 && (index - 8) % 128 == 0;
}

std::uint8_t nibble(const std::uint8_t* levels, std::size_t i)
{
    const std::uint8_t b = levels[i / 2];
    return i % 2 == 0 ? (b & 0x0F) : (b >> 4);
}

} // namespace

bool isKnownHeapClient(std::uint8_t sig)
{
    switch (sig) {
    case 0x6C: // reserved client types the format lists
    case 0x7C:
    case 0x8C:
    case 0x9C:
    case 0xA5:
    case 0xAC:
    case 0xB5:
    case 0xBC:
    case 0xCC:
        return true;
    default:
        return false;
    }
}

std::uint8_t fillLevelFor(std::size_t freeBytes)
{
    static constexpr std::size_t kLower[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024, 768,
                                             512,  256,  128,  64,   32,   16,   8};
    for (std::size_t i = 0; i < std::size(kLower); ++i)
        if (freeBytes >= kLower[i])
            return static_cast<std::uint8_t>(i);
    return 0xF;
}

Heap::Heap(std::vector<Bytes>&& blocks, Findings* findings, std::string where)
    : m_owned(std::move(blocks)), m_blocks(&m_owned), m_where(std::move(where))
{
    parse(findings);
}

Heap::Heap(const std::vector<Bytes>& blocks, Findings* findings, std::string where)
    : m_blocks(&blocks), m_where(std::move(where))
{
    parse(findings);
}

void Heap::parse(Findings* findings)
{
    const std::vector<Bytes>& blocks = *m_blocks;
    if (blocks.empty() || blocks[0].size() < kHnHeaderSize)
        throw FormatError(m_where + ": no heap header (the node's data is shorter than 12 bytes)");
    const Bytes& first = blocks[0];
    if (first[2] != kHeapSignature) {
        if (findings)
            findings->error("HN_SIGNATURE", m_where, "bSig " + hex(kHeapSignature), hex(first[2]));
        throw FormatError(m_where + ": not a heap (bSig " + hex(first[2]) + ")");
    }
    m_clientSig = first[3];
    m_userRoot = getU32(first.data() + 4);
    if (findings && !isKnownHeapClient(m_clientSig))
        findings->error("HN_CLIENT_SIG", m_where, "a client signature the format defines", hex(m_clientSig));
    m_pages.resize(blocks.size());
    for (std::size_t i = 0; i < blocks.size(); ++i)
        parsePage(i, findings);
}

void Heap::parsePage(std::size_t index, Findings* findings)
{
    const Bytes& b = (*m_blocks)[index];
    HeapPage& page = m_pages[index];
    page.dataSize = b.size();
    page.headerSize = index == 0            ? kHnHeaderSize
                      : isBitmapPage(index) ? kHnBitmapHeaderSize
                                            : kHnPageHeaderSize;
    const std::string where = m_where + " heap block " + std::to_string(index);
    auto fail = [&](std::string expected, std::string found) {
        if (findings)
            findings->error("HN_PAGE_MAP", where, std::move(expected), std::move(found));
        page.offsets.clear();
        page.allocCount = 0;
    };
    if (b.size() < page.headerSize) {
        fail("a page header of " + std::to_string(page.headerSize) + " bytes",
             std::to_string(b.size()) + " bytes of data");
        return;
    }
    page.pageMapOffset = getU16(b.data());
    const std::size_t ib = page.pageMapOffset;
    if (ib < page.headerSize || ib + 4 > b.size()) {
        fail("ibHnpm within the block's " + std::to_string(b.size()) + " bytes, after the header",
             "ibHnpm " + std::to_string(ib));
        return;
    }
    page.allocCount = getU16(b.data() + ib);
    page.freeCount = getU16(b.data() + ib + 2);
    const std::size_t mapEnd = ib + 4 + 2 * (std::size_t{page.allocCount} + 1);
    if (mapEnd > b.size()) {
        fail("a page map of " + std::to_string(page.allocCount) + " allocations within the block",
             "it runs " + std::to_string(mapEnd - b.size()) + " bytes past the end");
        return;
    }
    for (std::size_t i = 0; i <= page.allocCount; ++i)
        page.offsets.push_back(getU16(b.data() + ib + 4 + 2 * i));
    if (page.offsets.front() != page.headerSize) {
        fail("the first allocation right after the page header, at " + std::to_string(page.headerSize),
             "at " + std::to_string(page.offsets.front()));
        return;
    }
    for (std::size_t i = 1; i < page.offsets.size(); ++i) {
        if (page.offsets[i] < page.offsets[i - 1]) {
            fail("allocation offsets in ascending order", "offset " + std::to_string(page.offsets[i]) +
                                                              " after " +
                                                              std::to_string(page.offsets[i - 1]));
            return;
        }
    }
    if (page.offsets.back() > ib) {
        fail("allocations ending before the page map at " + std::to_string(ib),
             "they end at " + std::to_string(page.offsets.back()));
        return;
    }
    std::size_t freed = 0;
    for (std::size_t i = 1; i < page.offsets.size(); ++i)
        freed += page.offsets[i] == page.offsets[i - 1];
    if (findings && freed != page.freeCount)
        findings->error("HN_PAGE_MAP", where, "cFree " + std::to_string(freed) + " (empty allocations)",
                        "cFree " + std::to_string(page.freeCount));
}

std::uint8_t Heap::recordedFillLevel(std::size_t block) const
{
    if (block < 8)
        return nibble((*m_blocks)[0].data() + 8, block);
    const std::size_t bitmap = 8 + (block - 8) / 128 * 128;
    if (bitmap >= m_blocks->size() || (*m_blocks)[bitmap].size() < kHnBitmapHeaderSize)
        return 0;
    return nibble((*m_blocks)[bitmap].data() + 2, block - bitmap);
}

bool Heap::contains(std::uint32_t hid) const
{
    if (!isHid(hid))
        return false;
    const std::uint32_t block = hidBlock(hid);
    const std::uint32_t index = hidIndex(hid);
    return block < m_pages.size() && index >= 1 && index <= m_pages[block].allocCount;
}

ByteView Heap::item(std::uint32_t hid) const
{
    if (!contains(hid))
        throw FormatError(m_where + ": HID " + hex(hid) + " names no heap allocation");
    const HeapPage& page = m_pages[hidBlock(hid)];
    const std::uint32_t index = hidIndex(hid);
    const std::uint16_t begin = page.offsets[index - 1];
    const std::uint16_t end = page.offsets[index];
    return ByteView((*m_blocks)[hidBlock(hid)].data() + begin, end - begin);
}

} // namespace tressimo::pst::check
