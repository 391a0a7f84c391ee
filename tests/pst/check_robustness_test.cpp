// Damaged files must never crash the checker, the dump or the reader: bytes of the structures
// the reader trusts most are overwritten, files are cut short, and every layer must answer with
// findings or a FormatError. Random damage anywhere is the fuzz target's work (tests/fuzz).

#include "check_patcher.h"
#include "pst/check/checker.h"
#include "pst/check/dump.h"
#include "pst/check/pst_reader.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <string>

using namespace tressimo::pst;
using namespace tressimo::pst::check;

namespace {

Bytes load(const std::string& name)
{
    return tressimo::pst::check::testing::PstPatcher(name).bytes();
}

// Everything a caller can do with a file: check it, dump it, read it through the API.
void exercise(const Bytes& bytes, const std::string& what)
{
    std::shared_ptr<const PstFile> file;
    try {
        file = PstFile::fromBytes(bytes, what);
    } catch (const ReadError&) {
        return;
    }
    const Violations found = checkPst(*file);
    for (const Violation& v : found)
        EXPECT_NE(v.code, "CHECK_INCOMPLETE") << what << ": " << v.toString();
    std::ostringstream sink;
    dumpPst(*file, sink);
    const PstReader reader(file);
    try {
        for (const FolderInfo& f : reader.folders())
            for (std::uint32_t m : reader.messages(f.nid))
                reader.properties(m);
        reader.nameMap();
    } catch (const FormatError&) {
        // Readers may refuse damaged data; they must not crash on it.
    }
}

// Damage aimed at the structures the reader trusts most: B-tree pages and heap headers.
TEST(TargetedDamage, TreePagesAndHeapsNeverCrash)
{
    const Bytes original = load("outlook2007-contacts-distlist.pst");
    const auto file = PstFile::fromBytes(original);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> value(0, 255);
    for (const TreePage& page : file->treePages())
        for (std::size_t at : {488u, 489u, 490u, 491u, 0u, 8u, 16u, 24u}) {
            Bytes damaged = original;
            damaged[page.ib + at] = static_cast<std::uint8_t>(value(random));
            exercise(damaged, "page " + hex(page.ib) + " byte " + std::to_string(at));
        }
    // Heap headers (ibHnpm, bSig, bClientSig, hidUserRoot) and internal block headers.
    for (const BlockEntry& block : file->blocks())
        for (std::size_t at : {0u, 2u, 3u, 4u}) {
            Bytes damaged = original;
            damaged[block.ib + at] = static_cast<std::uint8_t>(value(random));
            exercise(damaged, "block " + hex(block.bid) + " byte " + std::to_string(at));
        }
}

// Outlook's file cut short, and every input the fuzz target once crashed on (its regressions).
TEST(KnownInputs, NeverCrash)
{
    const Bytes original = load("outlook-empty.pst");
    for (std::size_t size : std::initializer_list<std::size_t>{0, 100, 563, 564, 0x4200, 0x4400, 0x4600, 0x5000,
                                                              0x9000, 0x20000, original.size() - 1})
        exercise(Bytes(original.begin(), original.begin() + size), "cut at " + std::to_string(size));
    for (const auto& entry : std::filesystem::directory_iterator(std::string(TRESSIMO_SOURCE_DIR) +
                                                                 "/tests/fuzz/regressions/pst_check_fuzz")) {
        std::ifstream in(entry.path(), std::ios::binary);
        exercise(Bytes(std::istreambuf_iterator<char>(in), {}), entry.path().filename().string());
    }
}

} // namespace
