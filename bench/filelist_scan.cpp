// Scanning a folder tree of 100,000 files with pathLogger, as "Add folder" does, alone and
// followed by the name test and the appends to the file list.
// TRESSIMO_BENCH_FILES overrides the file count (rounded down to whole folders).

#include "bench/bench_support.h"
#include "filelist/contact_name.h"
#include "filelist/file_list.h"
#include "filelist/path_logger.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using tressimo::filelist::FileList;
using tressimo::filelist::isContactFileName;
using tressimo::filelist::pathLogger;

// 10 folders of 10 sub-folders, the files spread evenly over the 100 sub-folders; one file
// in ten is not a .contact file.
class Tree
{
public:
    Tree()
    {
        const char* env = std::getenv("TRESSIMO_BENCH_FILES");
        const long wanted = env ? std::atol(env) : 100000;
        m_perFolder = std::max(1L, wanted / 100);
        std::string pattern = (fs::temp_directory_path() / "tressimo-bench-scan-XXXXXX").native();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary folder");
        m_root = pattern;
        for (int a = 0; a < 10; ++a) {
            for (int b = 0; b < 10; ++b) {
                const fs::path folder =
                    m_root / ("Group " + std::to_string(a)) / ("Team " + std::to_string(b));
                fs::create_directories(folder);
                for (long f = 0; f < m_perFolder; ++f) {
                    const std::string name =
                        "Person " + std::to_string(f) + (f % 10 == 9 ? ".txt" : ".contact");
                    std::FILE* out = std::fopen((folder / name).c_str(), "w");
                    if (!out)
                        throw std::runtime_error("cannot create " + (folder / name).native());
                    std::fclose(out);
                }
            }
        }
    }
    ~Tree()
    {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    std::string root() const { return m_root.native(); }
    long files() const { return m_perFolder * 100; }

private:
    fs::path m_root;
    long m_perFolder = 0;
};

Tree& tree()
{
    static Tree t;
    return t;
}

// What the operating system costs: the same breadth-first walk with opendir/readdir and the
// entry types readdir gives, no sorting, no lists. The scanner is judged against this.
void BM_ReaddirBaseline(benchmark::State& state)
{
    Tree& t = tree();
    for (auto _ : state) {
        std::vector<std::string> queue{t.root()};
        long files = 0;
        for (std::size_t i = 0; i < queue.size(); ++i) {
            DIR* dir = ::opendir(queue[i].c_str());
            if (!dir)
                continue;
            while (const dirent* e = ::readdir(dir)) {
                const std::string name = e->d_name;
                if (name == "." || name == "..")
                    continue;
                if (e->d_type == DT_DIR)
                    queue.push_back(queue[i] + "/" + name);
                else if (e->d_type == DT_REG)
                    ++files;
            }
            ::closedir(dir);
        }
        if (files != t.files())
            state.SkipWithError("the baseline missed files");
    }
    state.SetItemsProcessed(state.iterations() * t.files());
}
BENCHMARK(BM_ReaddirBaseline)->Unit(benchmark::kMillisecond);

void BM_Scan(benchmark::State& state)
{
    Tree& t = tree();
    long yields = 0;
    for (auto _ : state) {
        pathLogger logger;
        logger.setYield([&] { ++yields; });
        logger.PathLogInit();
        logger.LogPath(t.root());
        const auto found = logger.fullFileNames();
        logger.Terminate();
        if (static_cast<long>(found->size()) != t.files())
            state.SkipWithError("the scan missed files");
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * t.files());
    state.counters["files"] = static_cast<double>(t.files());
    state.counters["maxrss_MB"] = tressimo::bench::peakRssMb();
}
BENCHMARK(BM_Scan)->Unit(benchmark::kMillisecond);

// The model side of "Add folder": scan, name test, one row per .contact file.
void BM_ScanAndFillList(benchmark::State& state)
{
    Tree& t = tree();
    for (auto _ : state) {
        pathLogger logger;
        logger.PathLogInit();
        logger.LogPath(t.root());
        const auto found = logger.fullFileNames();
        logger.Terminate();
        FileList list;
        list.setYield([] {});
        long added = 0;
        for (const auto& entry : *found) {
            if (isContactFileName(entry.value)) {
                list.AddFileRow(entry.value);
                ++added;
            }
        }
        if (added != t.files() - t.files() / 10)
            state.SkipWithError("wrong number of rows");
        benchmark::DoNotOptimize(list);
    }
    state.SetItemsProcessed(state.iterations() * t.files());
    state.counters["maxrss_MB"] = tressimo::bench::peakRssMb();
}
BENCHMARK(BM_ScanAndFillList)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
