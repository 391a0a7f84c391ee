// build/pst-check as scripts and other tests call it: output lines and exit codes.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string reference(const std::string& name)
{
    return std::string(TRESSIMO_SOURCE_DIR) + "/tests/data/reference-pst/" + name;
}

struct ToolRun
{
    int status = -1;
    std::string output;
};

std::string quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

ToolRun runTool(const std::vector<std::string>& args)
{
    std::string command = quote(std::string(TRESSIMO_BINARY_DIR) + "/pst-check");
    for (const std::string& a : args) {
        command += ' ';
        command += quote(a);
    }
    command += " 2>&1";
    ToolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// A scratch copy of a reference file with one byte changed (or cut short).
class ScratchFiles : public testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("pst-check-tool-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string damaged(std::size_t offset)
    {
        const fs::path path = m_dir / "damaged.pst";
        fs::copy_file(reference("outlook-empty.pst"), path, fs::copy_options::overwrite_existing);
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekg(offset);
        const char c = static_cast<char>(f.get());
        f.seekp(offset);
        f.put(static_cast<char>(c ^ 1));
        return path.string();
    }

    std::string tiny()
    {
        const fs::path path = m_dir / "tiny.pst";
        std::ofstream(path) << "!BDN";
        return path.string();
    }

    fs::path m_dir;
};

TEST(PstCheckTool, SoundFilesSayOkAndExitZero)
{
    const ToolRun r =
        runTool({reference("outlook-empty.pst"), reference("outlook2007-contacts-distlist.pst")});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("outlook-empty.pst: OK\n"), std::string::npos);
    EXPECT_NE(r.output.find("outlook2007-contacts-distlist.pst: OK\n"), std::string::npos);
    // Notes are printed but do not fail the file.
    EXPECT_NE(r.output.find("note MESSAGE_RECIPIENTS"), std::string::npos);
}

TEST_F(ScratchFiles, AFaultyFileListsItsViolationsAndExitsOne)
{
    const std::string file = damaged(0x20C); // dwCRCFull
    const ToolRun r = runTool({file});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find(file + ": HEADER_CRC_FULL header: expected dwCRCFull"), std::string::npos)
        << r.output;
    EXPECT_EQ(r.output.find(": OK"), std::string::npos);
}

TEST_F(ScratchFiles, UnreadableFilesExitTwo)
{
    struct Case
    {
        std::vector<std::string> args;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{(m_dir / "missing.pst").string()}, "cannot open"},
        {{tiny()}, "fewer than a PST header"},
        {{reference("outlook-empty.pst"), (m_dir / "missing.pst").string()}, "cannot open"},
        {{"--dump", (m_dir / "missing.pst").string()}, "cannot open"},
    };
    for (const Case& c : cases) {
        const ToolRun r = runTool(c.args);
        EXPECT_EQ(r.status, 2) << c.args.back();
        EXPECT_NE(r.output.find(c.says), std::string::npos) << r.output;
    }
}

TEST(PstCheckTool, UsageErrorsExitTwo)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{},
          {"--verbose", reference("outlook-empty.pst")},
          {"--dump"},
          {"--dump", reference("outlook-empty.pst"), reference("outlook-empty.pst")}}) {
        const ToolRun r = runTool(args);
        EXPECT_EQ(r.status, 2) << r.output;
        EXPECT_NE(r.output.find("usage: pst-check"), std::string::npos);
    }
}

TEST(PstCheckTool, DumpShowsHeaderNodesPropertiesAndRows)
{
    const ToolRun r = runTool({"--dump", reference("outlook-empty.pst")});
    EXPECT_EQ(r.status, 0);
    for (const char* expected :
         {"== header", "wVer 23", "bidNextB 0x130", "== nodes (47)", "node 0x8062 (folder) parent 0x8022",
          "block 0x8 at 0x4CC0 cb 276 cRef 6", "0x3001001F UNICODE = \"Empty\"",
          "0x8013 = {00020329-0000-0000-C000-000000000046}:\"Keywords\"", "row 0x8022 (row 0)",
          "column 0x67F20003 I4 ib 0 cb 4 bit 0"})
        EXPECT_NE(r.output.find(expected), std::string::npos) << expected;
}

TEST(PstCheckTool, ListsItsCodes)
{
    const ToolRun r = runTool({"--codes"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("REF_COUNT\t"), std::string::npos);
    EXPECT_NE(r.output.find("FOLDER_CONTENT_COUNT\t"), std::string::npos);
}

} // namespace
