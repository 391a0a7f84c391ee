// A process killed at any instant must leave a whole store: the write fails at every single
// operation of a small run in turn, and what reached the file must read as the last commit.

#include "ndb_test_util.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tressimo::pst::testing {
namespace {

// A file whose writes reach the disk only when synced: a crash keeps everything synced and
// any part of what came after. It fails at a chosen operation like a full disk would, and then
// shows the file as it would be after a crash right there, keeping all, none, or only the last
// of the unsynced operations.
class LossySink : public Sink
{
public:
    enum class Keep { All, None, LastOnly, AllButLast };

    LossySink(std::string name, std::uint64_t failAt) : m_name(std::move(name)), m_failAt(failAt) {}

    void writeAt(std::uint64_t offset, ByteView data) override
    {
        step();
        m_pending.push_back(Op{offset, Bytes(data.begin(), data.end()), false});
        m_size = std::max<std::uint64_t>(m_size, offset + data.size());
    }
    void resize(std::uint64_t size) override
    {
        step();
        m_pending.push_back(Op{size, {}, true});
        m_size = size;
    }
    void sync() override
    {
        step();
        for (const Op& op : m_pending)
            apply(m_durable, op);
        m_pending.clear();
    }
    std::uint64_t size() const override { return m_size; }
    std::string name() const override { return m_name; }

    Bytes afterCrash(Keep keep) const
    {
        Bytes image = m_durable;
        for (std::size_t i = 0; i < m_pending.size(); ++i) {
            bool last = i + 1 == m_pending.size();
            if (keep == Keep::All || (keep == Keep::LastOnly && last) || (keep == Keep::AllButLast && !last))
                apply(image, m_pending[i]);
        }
        return image;
    }

private:
    struct Op
    {
        std::uint64_t offset; // the new size for a resize
        Bytes data;
        bool resize;
    };
    static void apply(Bytes& image, const Op& op)
    {
        if (op.resize) {
            image.resize(op.offset);
            return;
        }
        if (image.size() < op.offset + op.data.size())
            image.resize(op.offset + op.data.size());
        std::copy(op.data.begin(), op.data.end(), image.begin() + static_cast<std::ptrdiff_t>(op.offset));
    }
    void step()
    {
        if (++m_count >= m_failAt)
            throw IoError("Cannot write to \"" + m_name + "\": No space left on device");
    }

    std::string m_name;
    std::uint64_t m_failAt;
    std::uint64_t m_count = 0;
    std::uint64_t m_size = 0;
    Bytes m_durable;
    std::vector<Op> m_pending;
};

// What a reader should find of one node.
struct ExpectedNode
{
    std::uint32_t parent = 0;
    std::vector<Bytes> blocks;
    std::map<std::uint32_t, Bytes> subnodes;
};
using Snapshot = std::map<std::uint32_t, ExpectedNode>;

NodeContent contentFor(std::uint32_t seed, std::size_t blocks, std::size_t blockSize, std::size_t subnodes)
{
    NodeContent c;
    for (std::size_t b = 0; b < blocks; ++b)
        c.data.blocks.push_back(patternBytes(blockSize, seed * 31 + static_cast<std::uint32_t>(b)));
    for (std::size_t s = 0; s < subnodes; ++s) {
        SubnodeContent sub;
        sub.nid = Nid::make(NidType::Ltp, 0x400 + static_cast<std::uint32_t>(s));
        sub.data.blocks.push_back(patternBytes(50 + s, seed * 7 + static_cast<std::uint32_t>(s)));
        c.subnodes.push_back(sub);
    }
    return c;
}

// The run: puts of every shape, a replacement, a deletion, a growth of the file, and commits.
class CrashRun
{
public:
    explicit CrashRun(NdbWriter& writer) : m_writer(writer) {}

    void play()
    {
        for (std::uint32_t i = 0; i < 4; ++i)
            put(Nid::make(NidType::NormalMessage, 0x10001 + i), 1, 1500, 1);
        put(Nid{0x804E}, 3, 8176, 0);  // a data tree
        put(Nid{0x8022}, 1, 300, 400); // a SIBLOCK of subnodes
        commit();
        put(Nid{0x804E}, 2, 4000, 0); // replaced
        erase(Nid::make(NidType::NormalMessage, 0x10002));
        for (std::uint32_t i = 0; i < 32; ++i) // past the first region
            put(Nid::make(NidType::NormalMessage, 0x10100 + i), 1, 8176, 0);
        commit();
        erase(Nid::make(NidType::NormalMessage, 0x10100));
        put(Nid::make(NidType::NormalMessage, 0x10001), 1, 700, 2);
        commit();
    }

    const Snapshot& committed() const { return m_committed; }
    const Snapshot& pending() const { return m_pending; }
    bool failedInCommit() const { return m_inCommit; }

private:
    void put(Nid nid, std::size_t blocks, std::size_t size, std::size_t subnodes)
    {
        NodeContent content = contentFor(nid.value + m_puts++, blocks, size, subnodes);
        m_writer.putNode(nid, Nid{0x8062}, content);
        ExpectedNode& node = m_pending[nid.value];
        node.parent = 0x8062;
        node.blocks = content.data.blocks;
        node.subnodes.clear();
        for (const SubnodeContent& sub : content.subnodes)
            node.subnodes[sub.nid.value] = sub.data.blocks.front();
    }
    void erase(Nid nid)
    {
        m_writer.deleteNode(nid);
        m_pending.erase(nid.value);
    }
    void commit()
    {
        m_inCommit = true;
        m_writer.commit();
        m_inCommit = false;
        m_committed = m_pending;
    }

    NdbWriter& m_writer;
    Snapshot m_committed;
    Snapshot m_pending;
    std::uint32_t m_puts = 0;
    bool m_inCommit = false;
};

bool holds(const check::PstFile& file, const Snapshot& expected)
{
    if (file.nodes().size() != expected.size())
        return false;
    for (const auto& [nid, node] : expected) {
        const check::NodeEntry* found = file.findNode(nid);
        if (!found || found->nidParent != node.parent || file.readDataTree(found->bidData) != node.blocks)
            return false;
        const auto subnodes = file.readSubnodes(found->bidSub);
        if (subnodes.size() != node.subnodes.size())
            return false;
        for (const check::SubnodeEntry& sub : subnodes) {
            auto data = node.subnodes.find(sub.nid);
            if (data == node.subnodes.end() || file.readData(sub.bidData) != data->second)
                return false;
        }
    }
    return true;
}

using NdbCrash = ::testing::TestWithParam<std::size_t>;

TEST_P(NdbCrash, EveryInterruptedOperationLeavesTheLastCommit)
{
    NdbOptions options;
    options.writeBufferSize = GetParam();
    options.maxGrowthRegions = 1;
    int checked = 0, inMapRewrite = 0, pastEndOfFile = 0;
    for (std::uint64_t failAt = 1;; ++failAt) {
        auto owned = std::make_unique<LossySink>("crash.pst", failAt);
        LossySink* sink = owned.get();
        std::unique_ptr<NdbWriter> writer;
        try {
            writer = NdbWriter::create(std::move(owned), options);
        } catch (const IoError& e) {
            // A store that never came to be: creating it reports the failure.
            EXPECT_NE(std::string(e.what()).find("crash.pst"), std::string::npos);
            continue;
        }
        CrashRun run(*writer);
        std::string message;
        try {
            run.play();
        } catch (const IoError& e) {
            message = e.what();
        }
        if (message.empty())
            break; // the whole run got through: every operation has been interrupted once
        SCOPED_TRACE("failure at operation " + std::to_string(failAt));
        EXPECT_NE(message.find("crash.pst"), std::string::npos) << message;
        EXPECT_NE(message.find("No space left on device"), std::string::npos) << message;
        // Every later call fails the same way.
        const Nid message1 = Nid::make(NidType::NormalMessage, 0x10001);
        const std::function<void()> later[] = {
            [&] { writer->commit(); },
            [&] { writer->putNode(message1, Nid{}, contentFor(1, 1, 10, 0)); },
            [&] { writer->deleteNode(message1); },
            [&] { writer->findNode(message1); },
            [&] { writer->allocateNid(NidType::NormalMessage); },
            [&] { writer->reserveNid(Nid::make(NidType::NormalMessage, 0x20000)); },
            [&] { writer->fileSize(); },
        };
        for (const auto& call : later) {
            try {
                call();
                ADD_FAILURE() << "a call after the failure succeeded";
            } catch (const IoError& e) {
                EXPECT_EQ(std::string(e.what()), message);
            }
        }

        using Keep = LossySink::Keep;
        for (Keep keep : {Keep::All, Keep::None, Keep::LastOnly, Keep::AllButLast}) {
            SCOPED_TRACE("unsynced writes kept: " + std::to_string(static_cast<int>(keep)));
            Bytes image = sink->afterCrash(keep);
            // Killed while growing, the file may be longer than its header says; the reader
            // sets that uncommitted tail aside and judges the committed part.
            ASSERT_EQ(ndbErrors(image), "");
            const PstFilePtr file = readPst(image);
            bool last = holds(*file, run.committed());
            // Once the commit's final header is on disk the new state is the last commit, even
            // if the sync after it failed.
            bool attempted = run.failedInCommit() && holds(*file, run.pending());
            ASSERT_TRUE(last || attempted) << "the file holds neither the last commit nor the attempted one";
            ++checked;
            inMapRewrite += file->header().amapValid == 0;
            pastEndOfFile += file->tailBytes() > 0;
        }
    }
    // The sweep went through the map rewrites and through growing the file.
    EXPECT_GT(checked, 80);
    EXPECT_GT(inMapRewrite, 0);
    EXPECT_GT(pastEndOfFile, 0);
}

// The rule behind the whole protocol, checked on the order of operations of a long run (past
// the first FMap page, too big to interrupt at every operation): a map page inside the end of
// file of the header on disk is only ever rewritten while that header, synced, says the maps
// are invalid.
class OrderSink : public Sink
{
public:
    void writeAt(std::uint64_t offset, ByteView data) override
    {
        m_size = std::max<std::uint64_t>(m_size, offset + data.size());
        if (offset == 0) {
            m_pendingHeader = Header{data[0xB4 + 68], getU64(data.data() + 0xB4 + 4)};
            if (m_pendingHeader->eof != m_size)
                headersNotAtTheSize.push_back(m_pendingHeader->eof);
            // A header may name a region only once the region's map page is on disk.
            for (std::uint64_t ib = 0x4400; ib < m_pendingHeader->eof; ib += 253952) {
                if (!m_durableAMaps.count(ib))
                    regionsNamedEarly.push_back(ib);
            }
            return;
        }
        if (isMapPage(offset) && (offset - 0x4400) % 253952 == 0)
            m_pendingAMaps.push_back(offset);
        if (!isMapPage(offset) && m_durable.eof != 0 && offset >= m_durable.eof)
            blocksPastTheEnd.push_back(offset);
        if (isMapPage(offset) && offset < m_durable.eof) {
            ++mapRewrites;
            bool guarded = m_durable.fAMapValid == 0 && !m_pendingHeader;
            if (!guarded)
                violations.push_back(offset);
            fmapRewrites += isFMap(offset);
        }
    }
    void resize(std::uint64_t size) override { m_size = size; }
    void sync() override
    {
        if (m_pendingHeader)
            m_durable = *m_pendingHeader;
        m_pendingHeader.reset();
        m_durableAMaps.insert(m_pendingAMaps.begin(), m_pendingAMaps.end());
        m_pendingAMaps.clear();
    }
    std::uint64_t size() const override { return m_size; }
    std::string name() const override { return "order.pst"; }

    int mapRewrites = 0;
    int fmapRewrites = 0;
    std::vector<std::uint64_t> violations;
    std::vector<std::uint64_t> regionsNamedEarly;   // AMaps not yet synced when a header named them
    std::vector<std::uint64_t> headersNotAtTheSize; // their end of file, not the file's size
    std::vector<std::uint64_t> blocksPastTheEnd;    // of the header on disk

private:
    struct Header
    {
        std::uint8_t fAMapValid = 2;
        std::uint64_t eof = 0;
    };
    static bool isMapPage(std::uint64_t offset)
    {
        if (offset == 0x4200)
            return true;
        if (offset < 0x4400)
            return false;
        std::uint64_t region = (offset - 0x4400) / 253952, within = (offset - 0x4400) % 253952;
        return within == 0 || (within == 512 && region % 8 == 0) || isFMap(offset) ||
               (within == 1536 && region >= 8192 && (region - 8192) % 31744 == 0);
    }
    static bool isFMap(std::uint64_t offset)
    {
        std::uint64_t region = (offset - 0x4400) / 253952, within = (offset - 0x4400) % 253952;
        return offset >= 0x4400 && within == 1024 && region >= 128 && (region - 128) % 496 == 0;
    }
    std::uint64_t m_size = 0;
    Header m_durable;
    std::optional<Header> m_pendingHeader;
    std::set<std::uint64_t> m_durableAMaps;
    std::vector<std::uint64_t> m_pendingAMaps;
};

TEST(NdbCrash, MapPagesAreRewrittenOnlyUnderADurableInvalidHeader)
{
    auto owned = std::make_unique<OrderSink>();
    OrderSink* sink = owned.get();
    NdbOptions unbuffered; // every page and block its own write, so each is told apart
    unbuffered.writeBufferSize = 0;
    auto writer = NdbWriter::create(std::move(owned), unbuffered);
    Bytes block = patternBytes(8176, 1);
    for (std::uint32_t i = 0; i < 4400; ++i) {
        writer->putNode(Nid::make(NidType::NormalMessage, 0x10001 + i), Nid{}, singleBlock(block));
        if (i % 700 == 699)
            writer->commit();
    }
    writer->commit();
    EXPECT_GT(writer->fileSize(), 0x4400 + 129 * 253952ull) << "the run must pass the first FMap page";
    EXPECT_GT(sink->mapRewrites, 100);
    EXPECT_GT(sink->fmapRewrites, 1);
    EXPECT_TRUE(sink->violations.empty()) << sink->violations.size() << " unguarded rewrites, first at "
                                          << (sink->violations.empty() ? 0 : sink->violations.front());
    // Every growth was committed before a block or page went there, every header named the
    // file's size, and none named a region before that region's map page was on disk.
    EXPECT_TRUE(sink->blocksPastTheEnd.empty()) << sink->blocksPastTheEnd.size() << " past the end";
    EXPECT_TRUE(sink->headersNotAtTheSize.empty()) << sink->headersNotAtTheSize.size();
    EXPECT_TRUE(sink->regionsNamedEarly.empty())
        << sink->regionsNamedEarly.size() << " regions named early, first at "
        << (sink->regionsNamedEarly.empty() ? 0 : sink->regionsNamedEarly.front());
}

// Unbuffered, every block and page is its own write; buffered, writes come in larger pieces.
INSTANTIATE_TEST_SUITE_P(Buffering, NdbCrash, ::testing::Values(std::size_t{0}, std::size_t{1} << 20));

} // namespace
} // namespace tressimo::pst::testing
