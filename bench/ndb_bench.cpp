// ndb_writer: speed and memory of the node database writer at the product's scale.
//
//   ndb_writer [NODES] [DIR]
//
// Puts NODES (default 100,000) contact-sized nodes (a 1.5 KB block and one small subnode, as a
// contact with its recipient table) into a new store, committing every two seconds of work as
// a run does, then measures the commit of everything and a commit after a handful of changes.
// It runs twice: into a sink that discards the bytes (the database's own cost), then into a
// real file in DIR (default /tmp), where the disk has its say. Prints put rates, commit times,
// CPU time, file size and peak memory.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/discarding_sink.h"
#include "pst/io/sink.h"
#include "pst/ndb/ndb_writer.h"

using namespace tressimo::pst;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

Bytes bytesOf(std::size_t size, std::uint32_t seed)
{
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<std::uint8_t>((seed * 131 + i * 7) ^ (i >> 3));
    return out;
}

// A contact: its property context in one block, its recipient table as a subnode.
NodeContent contactNode(std::uint32_t i)
{
    NodeContent c;
    c.data.blocks.push_back(bytesOf(1400 + i % 200, i));
    SubnodeContent recipients;
    recipients.nid = Nid{0x692};
    recipients.data.blocks.push_back(bytesOf(120, i + 1));
    c.subnodes.push_back(std::move(recipients));
    return c;
}

void run(const char* title, std::unique_ptr<Sink> sink, std::uint32_t nodes)
{
    double cpuStart = tressimo::bench::cpuSeconds();
    auto start = Clock::now();
    auto writer = NdbWriter::create(std::move(sink));
    double createTime = seconds(Clock::now() - start);

    // Contents prepared outside the timed loop: the benchmark times the database, not the
    // making of test bytes.
    std::vector<NodeContent> contents;
    contents.reserve(256);
    for (std::uint32_t i = 0; i < 256; ++i)
        contents.push_back(contactNode(i));

    Clock::duration putTime{}, commitTime{}, worstCommit{};
    int commits = 0;
    auto lastCommit = Clock::now();
    for (std::uint32_t i = 0; i < nodes; ++i) {
        Nid nid = writer->allocateNid(NidType::NormalMessage);
        auto t0 = Clock::now();
        writer->putNode(nid, Nid{0x8082}, contents[i % contents.size()]);
        putTime += Clock::now() - t0;
        if (Clock::now() - lastCommit >= std::chrono::seconds(2)) {
            auto c0 = Clock::now();
            writer->commit();
            auto d = Clock::now() - c0;
            commitTime += d;
            worstCommit = std::max(worstCommit, d);
            ++commits;
            lastCommit = Clock::now();
        }
    }
    auto c0 = Clock::now();
    writer->commit();
    Clock::duration finalCommit = Clock::now() - c0;

    // A commit after a few changes, as every two seconds of a long run: the folder's
    // contents table (here 20 blocks) and a few new contacts.
    NodeContent table;
    for (int b = 0; b < 20; ++b)
        table.data.blocks.push_back(bytesOf(8176, b));
    for (std::uint32_t i = 0; i < 20; ++i)
        writer->putNode(writer->allocateNid(NidType::NormalMessage), Nid{0x8082}, contents[i]);
    writer->putNode(Nid{0x808E}, Nid{}, table);
    c0 = Clock::now();
    writer->commit();
    Clock::duration smallCommit = Clock::now() - c0;
    double total = seconds(Clock::now() - start);
    double cpu = tressimo::bench::cpuSeconds() - cpuStart;

    std::uint64_t size = writer->fileSize();
    writer.reset();
    std::printf("%s\n", title);
    std::printf("  create (empty store)        %.2f ms\n", createTime * 1e3);
    std::printf("  putNode                     %.2f us each, %.0f nodes/s\n", seconds(putTime) / nodes * 1e6,
                nodes / seconds(putTime));
    std::printf("  commits during the run      %d, worst %.1f ms, total %.1f ms\n", commits,
                seconds(worstCommit) * 1e3, seconds(commitTime) * 1e3);
    std::printf("  commit of all %u nodes   %.1f ms\n", nodes, seconds(finalCommit) * 1e3);
    std::printf("  commit after 21 changes     %.1f ms (at %u nodes)\n", seconds(smallCommit) * 1e3,
                nodes + 20);
    std::printf("  whole run                   %.2f s, %.0f nodes/s; CPU %.2f s, %.2f us per node\n", total,
                nodes / total, cpu, cpu / nodes * 1e6);
    std::printf("  file size                   %llu bytes, %.0f bytes per node\n",
                static_cast<unsigned long long>(size), static_cast<double>(size) / nodes);
}

} // namespace

int main(int argc, char** argv)
{
    std::uint32_t nodes = argc > 1 ? static_cast<std::uint32_t>(std::stoul(argv[1])) : 100000;
    std::filesystem::path dir = argc > 2 ? argv[2] : std::filesystem::temp_directory_path();
    std::filesystem::path path = dir / "ndb_writer_bench.pst";
    std::filesystem::remove(path);

    const double rssStart = tressimo::bench::peakRssMb();
    run("discarding sink (the writer's own cost)", std::make_unique<tressimo::bench::DiscardingSink>(), nodes);
    std::printf("  peak RSS                    %.1f MB (%.1f MB before)\n", tressimo::bench::peakRssMb(),
                rssStart);
    run(("file " + path.string()).c_str(), FileSink::createNew(path), nodes);
    std::printf("  peak RSS                    %.1f MB\n", tressimo::bench::peakRssMb());
    std::filesystem::remove(path);
    return 0;
}
