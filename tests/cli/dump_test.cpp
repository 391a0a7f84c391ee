// tressimo-convert --dump, run as users run it: the JSON lines, the exit status, the messages.

#include "contacts/contact_record.h"
#include "tests/contacts/contact_xml.h"

#include <sstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace tressimo::testing {
namespace {

using Json = nlohmann::ordered_json;

struct ToolRun : ProgramRun
{
    std::vector<Json> lines;
};

const std::string kTool = TRESSIMO_BINARY_DIR "/tressimo-convert";

// Runs the tool with exactly these argument bytes (no shell in between).
ToolRun runTool(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), kTool);
    ToolRun run{runProgram(arguments), {}};
    if (arguments.size() < 2 || arguments[1] != "--dump")
        return run;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);)
        run.lines.push_back(Json::parse(line)); // throws on invalid UTF-8 or bad JSON
    return run;
}

std::string realFile(const char* name)
{
    return TRESSIMO_SOURCE_DIR "/tests/data/real-contacts/" + std::string(name);
}

// Every line has the four keys, and the record every field, in their fixed order.
void expectShape(const Json& line)
{
    std::vector<std::string> keys;
    for (const auto& item : line.items())
        keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"file", "loaded", "error", "record"}));
    std::size_t i = 0;
    for (const auto& item : line["record"].items()) {
        ASSERT_LT(i, contacts::kContactFieldCount);
        EXPECT_EQ(item.key(), contacts::kContactFields[i++].name);
    }
    EXPECT_EQ(i, contacts::kContactFieldCount);
}

void expectEmptyRecord(const Json& record)
{
    for (const auto& item : record.items())
        EXPECT_TRUE(item.value() == "" || item.value().is_null()) << item.key();
}

TEST(Dump, OneLineEachInOrder)
{
    const TempDir dir;
    const auto ann = dir.write(
        "ann.contact",
        contactDocument(name(element("c:GivenName", "  Ann\t ")) +
                        collection("c:DateCollection",
                                   {valueEntry("c:Date", "1970-05-12T00:00:00Z", {"wab:Birthday"})})));
    const std::vector<std::string> files = {realFile("chums_forrest_gump_crlf.contact"),
                                            realFile("kdepim_sample2_wabmigrated_given_family.contact"),
                                            realFile("kdepim_sample4_photo_bmp_base64.contact"), ann.string()};
    const ToolRun run = runTool({"--dump", files[0], files[1], files[2], files[3]});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    ASSERT_EQ(run.lines.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        expectShape(run.lines[i]);
        EXPECT_EQ(run.lines[i]["file"], files[i]);
        EXPECT_EQ(run.lines[i]["loaded"], true);
        EXPECT_TRUE(run.lines[i]["error"].is_null());
    }
    const Json& gump = run.lines[0]["record"];
    EXPECT_EQ(gump["eContact_FirstName"], "Forrest");
    EXPECT_EQ(gump["eContact_OfficePhone"], "tel:+1-111-555-1212");
    EXPECT_EQ(gump["eContact_HomePhone"], "tel:+1-404-555-1212");
    EXPECT_TRUE(gump["eContact_BirthDay"].is_null());
    EXPECT_EQ(run.lines[1]["record"]["eContact_LastName"], "Anon");
    expectEmptyRecord(run.lines[2]["record"]);
    // Texts as handed over (blanks trimmed, the tab kept), dates as days.
    EXPECT_EQ(run.lines[3]["record"]["eContact_FirstName"], "Ann\t");
    EXPECT_EQ(run.lines[3]["record"]["eContact_BirthDay"], "1970-05-12");
    EXPECT_TRUE(run.lines[3]["record"]["eContact_Anniversary"].is_null());
}

// A file that does not load gets its line and the reason; the files after it are read.
TEST(Dump, BrokenFilesNeverStopTheOthers)
{
    const TempDir dir;
    const std::string good = realFile("kdepim_test1_john_doe.contact");
    const std::string brokenXml = "<c:contact><c:Name></c:contact>";
    const std::string broken = dir.write("broken.contact", brokenXml).string();
    const std::string missing = (dir.path() / "missing.contact").string();
    const std::string binary = dir.write("photo.contact", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)).string();
    const ToolRun run = runTool({"--dump", good, missing, broken, dir.path().string(), binary, good});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "");
    ASSERT_EQ(run.lines.size(), 6u);

    const std::pair<bool, std::string> expected[] = {
        {true, ""},
        {false, "Cannot open \"" + missing + "\": No such file or directory"},
        {false, "Error parsing \"" + broken + "\": Start-end tags mismatch at byte " +
                      std::to_string(brokenXml.find("</c:contact>") + 2)},
        {false, "Cannot read \"" + dir.path().string() + "\": Is a directory"},
        {false, "Error parsing \"" + binary + "\": "},
        {true, ""},
    };
    for (std::size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        const Json& line = run.lines[i];
        expectShape(line);
        EXPECT_EQ(line["loaded"], expected[i].first);
        if (expected[i].first) {
            EXPECT_TRUE(line["error"].is_null());
            EXPECT_EQ(line["record"]["eContact_Email"], "sample-email@kde.org");
        } else {
            EXPECT_EQ(line["error"].get<std::string>().substr(0, expected[i].second.size()), expected[i].second);
            expectEmptyRecord(line["record"]);
        }
    }
}

// Names and texts that are not UTF-8 come out as U+FFFD; the file is still opened by its bytes.
TEST(Dump, BytesThatAreNotUtf8)
{
    const TempDir dir;
    const auto file = dir.write("Zo\xEB.contact", contactDocument(name(element("c:GivenName", "Ann"))));
    const auto notUtf8 = dir.write("latin.contact", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                                    "<c:contact><c:GivenName>Zo\xEB</c:GivenName></c:contact>");
    // A file that says it is in Windows' code page is read in it.
    const auto cp1252 = dir.write("cp1252.contact", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>"
                                                    "<c:contact><c:GivenName>Zo\xEB</c:GivenName></c:contact>");
    const ToolRun run = runTool({"--dump", file.string(), notUtf8.string(), cp1252.string()});
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(run.lines.size(), 3u);
    EXPECT_EQ(run.lines[0]["file"], (dir.path() / "Zo\xEF\xBF\xBD.contact").string());
    EXPECT_EQ(run.lines[0]["record"]["eContact_FirstName"], "Ann");
    EXPECT_EQ(run.lines[1]["record"]["eContact_FirstName"], "Zo\xEF\xBF\xBD");
    EXPECT_EQ(run.lines[2]["record"]["eContact_FirstName"], "Zo\xC3\xAB");
}

TEST(Dump, UsageErrorsExplainAndReadNothing)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--dump"}, "--dump needs at least one FILE"},
        {{"--dmup", realFile("kdepim_test1_john_doe.contact")}, "unknown option \"--dmup\""},
        {{"--dump", "--output-folder", "/tmp", realFile("kdepim_test1_john_doe.contact")},
         "--output-folder does not go with --dump"},
    };
    for (const auto& [arguments, message] : cases) {
        SCOPED_TRACE(message);
        const ToolRun run = runTool(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("tressimo-convert: " + message), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("Usage: tressimo-convert [--output-folder DIR] PATH...\n"
                               "       tressimo-convert --dump FILE..."),
                  std::string::npos)
            << run.err;
    }
}

TEST(Dump, HelpExplainsBothModesAndTheExitStatus)
{
    const ToolRun run = runTool({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    for (const char* text : {"--dump FILE...", "\"loaded\": true|false", "YYYY-MM-DD", "Exit status", "U+FFFD",
                             "[--output-folder DIR] PATH...", "current folder", "breadth-first", "\" (2)\"",
                             "standard output", "terminal", "Outlook Error", "0  every file converted",
                             "1  some file was skipped", "2  nothing was converted"})
        EXPECT_NE(run.out.find(text), std::string::npos) << text;
}

// Output that cannot be written is a failure, not a success.
TEST(Dump, OutputThatCannotBeWrittenFails)
{
    const ToolRun run{runProgram({"/bin/sh", "-c", kTool + " --dump '" + realFile("kdepim_test1_john_doe.contact") + "' >/dev/full"}), {}};
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("could not be written"), std::string::npos) << run.err;
}

} // namespace
} // namespace tressimo::testing
