// Writing contact-like messages into one folder of a new store, as a conversion run does:
// 100,000 messages of about 60 properties (a third of them named), a commit every 5,000.
// Reports messages per second, commit times, peak RSS, file size per message, and the size
// of a new empty store beside Outlook's (271,360 bytes).
// TRESSIMO_BENCH_MESSAGES and TRESSIMO_BENCH_COMMIT_EVERY override the counts;
// TRESSIMO_BENCH_GROWTH_REGIONS sets how many 248 KiB regions the file may grow by at once
// (the node database's maxGrowthRegions; every growth costs three syncs).
// TRESSIMO_BENCH_KEEP=1 keeps the file for pst-check --dump. TRESSIMO_BENCH_PICTURE_BYTES gives
// every message a picture attachment of that many bytes (0, the default: none).

#include "bench/bench_support.h"
#include "env/environment.h"
#include "pst/io/sink.h"
#include "pst/messaging/message_store.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace tressimo::pst;

StoreOptions systemOptions()
{
    const auto environment = tressimo::env::systemEnvironment();
    StoreOptions options;
    options.clock = environment.clock;
    options.random = environment.random;
    return options;
}

constexpr std::uint64_t kOutlookEmptyStoreSize = 271360;

std::size_t envCount(const char* name, std::size_t fallback)
{
    const char* text = std::getenv(name);
    return text ? std::strtoull(text, nullptr, 10) : fallback;
}

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

fs::path scratchFile(const std::string& name)
{
    fs::path dir = fs::path(TRESSIMO_BINARY_DIR) / "bench-scratch";
    fs::create_directories(dir);
    fs::path path = dir / (name + "-" + std::to_string(::getpid()) + ".pst");
    fs::remove(path);
    return path;
}

const Guid kPsetidAddress{0x00062004, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const Guid kPsetidCommon{0x00062008, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const Guid kPsPublicStrings{0x00020329, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// The properties of a typical contact, in the shape the contact writer produces.
class ContactMaker
{
public:
    explicit ContactMaker(MessageStore& store)
    {
        for (std::uint32_t lid :
             {0x8005u, 0x8006u, 0x8080u, 0x8082u, 0x8083u, 0x8084u, 0x8085u, 0x8045u, 0x8046u, 0x8047u,
              0x8048u, 0x8049u, 0x801Bu, 0x8022u, 0x8023u, 0x8025u, 0x8028u, 0x8029u, 0x80DBu, 0x8062u})
            m_address.push_back(store.propertyId(PropertyName{kPsetidAddress, lid, {}}));
        m_sideEffects = store.propertyId(PropertyName{kPsetidCommon, 0x8510, {}});
        m_keywords = store.propertyId(PropertyName{kPsPublicStrings, 0, "Keywords"});
    }

    std::vector<PropValue> make(std::size_t i)
    {
        const std::string n = std::to_string(i);
        const std::string first = "Firstname" + n;
        const std::string last = "Lastname" + n;
        const std::string full = first + " Middle " + last;
        const std::string email = "first.last" + n + "@example.com";
        std::vector<PropValue> p;
        p.reserve(64);
        auto text = [&](std::uint32_t tag, const std::string& value) {
            p.push_back(PropValue::fromString(PropTag{tag}, std::string_view(value)));
        };
        auto named = [&](std::size_t k, PropType type) { return PropTag(m_address[k], type); };
        text(0x001A001F, "IPM.Contact");
        text(0x0037001F, full);
        text(0x0070001F, full);
        text(0x3001001F, full);
        text(0x3A06001F, first);
        text(0x3A44001F, "Middle");
        text(0x3A11001F, last);
        text(0x3A0A001F, "F.M.L.");
        text(0x3A16001F, "Example Trading Company Ltd");
        text(0x3A17001F, "Senior Account Manager");
        text(0x3A18001F, "Sales");
        text(0x3A08001F, "+1 (425) 555-0" + n.substr(0, 3));
        text(0x3A09001F, "+1 (425) 555-1" + n.substr(0, 3));
        text(0x3A1C001F, "+1 (206) 555-2" + n.substr(0, 3));
        text(0x3A24001F, "+1 (425) 555-3" + n.substr(0, 3));
        text(0x3A5D001F, n + " Main Street");
        text(0x3A59001F, "Redmond");
        text(0x3A5C001F, "WA");
        text(0x3A5B001F, "98052");
        text(0x3A5A001F, "United States of America");
        text(0x3A29001F, n + " Business Park Drive");
        text(0x3A27001F, "Seattle");
        text(0x3A28001F, "WA");
        text(0x3A2A001F, "98101");
        text(0x3A26001F, "United States of America");
        text(0x3A15001F, n + " Business Park Drive\r\nSeattle, WA 98101\r\nUnited States of America");
        text(0x3A51001F, "https://www.example.com/people/" + n);
        text(0x1000001F, "Met at the trade fair; prefers e-mail. Follow up about the quarterly order and "
                         "the new price list. Contact number " +
                             n + ".");
        p.push_back(PropValue::fromInt32(PropTag{0x00170003}, 1));
        p.push_back(PropValue::fromInt32(PropTag{0x00360003}, 0));
        p.push_back(PropValue::fromInt32(PropTag{0x00260003}, 0));
        p.push_back(PropValue::fromInt32(PropTag{0x0E070003}, 1));
        p.push_back(PropValue::fromInt32(PropTag{0x10800003}, 0x200));
        p.push_back(PropValue::fromSysTime(PropTag{0x30070040}, 133000000000000000ull + i));
        p.push_back(PropValue::fromSysTime(PropTag{0x30080040}, 133000000000000000ull + i));
        p.push_back(PropValue::fromSysTime(PropTag{0x0E060040}, 133000000000000000ull + i));
        p.push_back(PropValue::fromSysTime(PropTag{0x00390040}, 133000000000000000ull + i));
        p.push_back(PropValue::fromSysTime(PropTag{0x3A420040}, 127000000000000000ull + i));
        Bytes key(16);
        for (std::size_t b = 0; b < 16; ++b)
            key[b] = static_cast<std::uint8_t>((i >> (b % 4 * 8)) + b);
        p.push_back(PropValue::fromBinary(PropTag{0x300B0102}, key));
        text(named(0, PropType::Unicode).value, last + ", " + first + " Middle");
        p.push_back(PropValue::fromInt32(named(1, PropType::Int32), 0x8017));
        text(named(2, PropType::Unicode).value, full + " (" + email + ")");
        text(named(3, PropType::Unicode).value, "SMTP");
        text(named(4, PropType::Unicode).value, email);
        text(named(5, PropType::Unicode).value, email);
        Bytes oneOff(24 + 2 * (full.size() + email.size() + 6), 0x41);
        p.push_back(PropValue::fromBinary(named(6, PropType::Binary), oneOff));
        text(named(7, PropType::Unicode).value, n + " Business Park Drive");
        text(named(8, PropType::Unicode).value, "Seattle");
        text(named(9, PropType::Unicode).value, "WA");
        text(named(10, PropType::Unicode).value, "98101");
        text(named(11, PropType::Unicode).value, "United States of America");
        text(named(12, PropType::Unicode).value,
             n + " Business Park Drive\r\nSeattle, WA 98101\r\nUnited States");
        p.push_back(PropValue::fromInt32(named(13, PropType::Int32), 2));
        p.push_back(PropValue::fromInt32(named(14, PropType::Int32), 0x100));
        p.push_back(PropValue::fromBoolean(named(15, PropType::Boolean), false));
        const std::int32_t list[] = {0};
        p.push_back(PropValue::fromMultipleInt32(named(16, PropType::MultipleInt32), list));
        p.push_back(PropValue::fromInt32(named(17, PropType::Int32), 1));
        text(named(18, PropType::Unicode).value, "US");
        text(named(19, PropType::Unicode).value, "im:" + email);
        p.push_back(PropValue::fromInt32(PropTag(m_sideEffects, PropType::Int32), 0x10));
        const std::string categories[] = {"Customers", "Trade fair"};
        p.push_back(
            PropValue::fromMultipleString(PropTag(m_keywords, PropType::MultipleUnicode), categories));
        return p;
    }

private:
    std::vector<std::uint16_t> m_address;
    std::uint16_t m_sideEffects = 0;
    std::uint16_t m_keywords = 0;
};

void BM_MessagesIntoOneFolder(benchmark::State& state)
{
    const std::size_t messages = envCount("TRESSIMO_BENCH_MESSAGES", 100000);
    const std::size_t commitEvery = std::max<std::size_t>(1, envCount("TRESSIMO_BENCH_COMMIT_EVERY", 5000));
    for (auto _ : state) {
        const fs::path path = scratchFile("messaging-store");
        StoreOptions options = systemOptions();
        options.ndb.maxGrowthRegions = static_cast<std::uint32_t>(
            envCount("TRESSIMO_BENCH_GROWTH_REGIONS", options.ndb.maxGrowthRegions));
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = tressimo::bench::cpuSeconds();
        auto store = MessageStore::create(FileSink::createNew(path), "Benchmark", options);
        const Nid folder = store->createFolder(store->ipmSubtree(), "Contacts", "IPF.Contact");
        ContactMaker maker(*store);
        const Bytes picture(envCount("TRESSIMO_BENCH_PICTURE_BYTES", 0), 0xA5);
        std::size_t properties = 0;
        std::vector<double> commitMs;
        std::vector<double> commitCpuMs;
        double buildSeconds = 0;
        for (std::size_t i = 0; i < messages; ++i) {
            const double t0 = threadCpuSeconds();
            const std::vector<PropValue> props = maker.make(i);
            buildSeconds += threadCpuSeconds() - t0;
            properties += props.size();
            std::vector<std::vector<PropValue>> attachments;
            if (!picture.empty())
                attachments.push_back(
                    {PropValue::fromInt32(PropTag{0x37050003}, 1),
                     PropValue::fromBinary(PropTag{0x37010102}, picture),
                     PropValue::fromString(PropTag{0x3707001F}, std::string_view("ContactPicture.jpg")),
                     PropValue::fromBoolean(PropTag{0x7FFF000B}, true)});
            store->createMessage(folder, props, std::move(attachments));
            if ((i + 1) % commitEvery == 0 || i + 1 == messages) {
                const auto c0 = std::chrono::steady_clock::now();
                const double cpu0 = threadCpuSeconds();
                store->commit();
                commitMs.push_back(
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - c0).count());
                commitCpuMs.push_back(1000 * (threadCpuSeconds() - cpu0));
            }
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = tressimo::bench::cpuSeconds() - cpuStart;
        const std::uint64_t size = store->fileSize();
        store.reset();
        if (std::getenv("TRESSIMO_BENCH_KEEP"))
            std::printf("kept %s\n", path.c_str());
        else
            fs::remove(path);

        double commitTotal = 0;
        for (double ms : commitMs)
            commitTotal += ms;
        state.counters["messages"] = static_cast<double>(messages);
        state.counters["props_per_message"] = static_cast<double>(properties) / messages;
        // Wall-clock rates include waiting for the disk and for the CPU on a busy machine.
        state.counters["messages_per_s"] = messages / seconds;
        // What the store costs in CPU alone, apart from waiting for the disk.
        state.counters["messages_per_cpu_s"] = messages / (cpu - buildSeconds);
        state.counters["commits"] = static_cast<double>(commitMs.size());
        state.counters["commit_ms_mean"] = commitTotal / commitMs.size();
        state.counters["commit_ms_max"] = *std::max_element(commitMs.begin(), commitMs.end());
        state.counters["commit_ms_last"] = commitMs.back();
        state.counters["commit_cpu_ms_last"] = commitCpuMs.back();
        state.counters["commit_share_of_time"] = commitTotal / 1000.0 / seconds;
        state.counters["peak_rss_mb"] = tressimo::bench::peakRssMb();
        state.counters["file_mb"] = size / 1e6;
        state.counters["bytes_per_message"] = static_cast<double>(size) / messages;
        std::printf("commit times in ms, wall (CPU):");
        for (std::size_t c = 0; c < commitMs.size(); ++c)
            std::printf(" %.0f (%.0f)", commitMs[c], commitCpuMs[c]);
        std::printf("\n");
    }
}
BENCHMARK(BM_MessagesIntoOneFolder)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_EmptyStore(benchmark::State& state)
{
    std::uint64_t size = 0;
    for (auto _ : state) {
        const fs::path path = scratchFile("messaging-empty");
        auto store = MessageStore::create(FileSink::createNew(path), "Empty", systemOptions());
        size = fs::file_size(path);
        store.reset();
        fs::remove(path);
    }
    state.counters["file_bytes"] = static_cast<double>(size);
    state.counters["outlook_bytes"] = static_cast<double>(kOutlookEmptyStoreSize);
}
BENCHMARK(BM_EmptyStore)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
