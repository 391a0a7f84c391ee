// tressimo-convert --dump, run as users run it: the JSON lines, the exit status, the messages.

#include "contacts/contact_record.h"
#include "platform/path_text.h"
#include "tests/contacts/contact_xml.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

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

// Every line has the five keys, and the record and "more" every field, in their fixed order.
void expectShape(const Json& line)
{
    std::vector<std::string> keys, fieldKeys, tableNames;
    for (const auto& item : line.items())
        keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"file", "loaded", "error", "record", "more"}));
    for (const char* part : {"record", "more"})
        for (const auto& item : line[part].items())
            fieldKeys.push_back(item.key());
    contacts::forEachContactField(
        [&](const contacts::ContactField& field) { tableNames.emplace_back(field.name); });
    EXPECT_EQ(fieldKeys, tableNames);
}

void expectEmptyRecord(const Json& record)
{
    for (const auto& item : record.items())
        EXPECT_TRUE(item.value() == "" || item.value().is_null() || item.value() == 0 || item.value().empty())
            << item.key();
}

// One line per file in order; a file that does not load gets its line and the reason, and
// the files after it are read. Names that are not UTF-8 come out with U+FFFD. (Encodings are
// the document loader's, tested in tests/contacts.)
TEST(Dump, OneLineEachInOrderWhateverTheFilesHold)
{
    const TempDir dir;
    const std::string brokenXml = "<c:contact><c:Name></c:contact>";
    const std::string files[] = {
        realFile("chums_forrest_gump_crlf.contact"),
        dir.write("ann.contact",
                  contactDocument(name(element("c:GivenName", "  Ann\t ")) +
                                  collection("c:DateCollection", {valueEntry("c:Date", "1970-05-12T00:00:00Z",
                                                                             {"wab:Birthday"})}))),
        (dir.path() / "missing.contact").string(),
        dir.write("broken.contact", brokenXml).string(),
        dir.path().string(),
        dir.write("Zo\xEB.contact", contactDocument(name(element("c:GivenName", "Ann")))).string(),
        realFile("kdepim_sample4_photo_bmp_base64.contact"),
    };
    // The start of the error, or the record's field and value for a file that loads.
    const std::tuple<std::string, std::string, std::string> expected[] = {
        {"", "eContact_FirstName", "Forrest"},
        // Texts as handed over (blanks trimmed, the tab kept), dates as days.
        {"", "eContact_BirthDay", "1970-05-12"},
        {"Cannot open \"" + files[2] + "\": No such file or directory", "", ""},
        {"Error parsing \"" + files[3] + "\": Start-end tags mismatch at byte " +
             std::to_string(brokenXml.find("</c:contact>") + 2),
         "", ""},
        {"Cannot read \"" + files[4] + "\": Is a directory", "", ""},
        {"", "eContact_FirstName", "Ann"},
        {"", "eContact_FirstName", ""},
    };
    std::vector<std::string> arguments = {"--dump"};
    arguments.insert(arguments.end(), std::begin(files), std::end(files));
    const ToolRun run = runTool(arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "");
    ASSERT_EQ(run.lines.size(), std::size(files));
    for (std::size_t i = 0; i < std::size(files); ++i) {
        SCOPED_TRACE(files[i]);
        const Json& line = run.lines[i];
        const auto& [error, field, value] = expected[i];
        expectShape(line);
        const std::string replaced = TextPath(dir.path() / platform::pathFromText("Zo\xEF\xBF\xBD.contact"));
        EXPECT_EQ(line["file"], i == 5 ? replaced : files[i]);
        EXPECT_EQ(line["loaded"], error.empty());
        if (error.empty()) {
            EXPECT_TRUE(line["error"].is_null());
            EXPECT_EQ(line["record"][field], value);
        } else {
            EXPECT_EQ(line["error"].get<std::string>().substr(0, error.size()), error);
            expectEmptyRecord(line["record"]);
            expectEmptyRecord(line["more"]);
        }
    }
    EXPECT_TRUE(run.lines[0]["record"]["eContact_BirthDay"].is_null());
    EXPECT_EQ(run.lines[1]["record"]["eContact_FirstName"], "Ann\t");
    EXPECT_EQ(run.lines[0]["more"]["FormattedName"], "Forrest Gump");
    EXPECT_EQ(run.lines[6]["more"]["FormattedName"], "RandomPhoto");
    EXPECT_EQ(run.lines[6]["more"]["Photo"], 43002);
    EXPECT_EQ(run.lines[6]["more"]["Unplaced"], Json::array());
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

// Output that cannot be written is a failure, not a success.
TEST(Dump, OutputThatCannotBeWrittenFails)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no full device to write to";
#endif
    const ToolRun run{
        runProgram({"/bin/sh", "-c",
                    kTool + " --dump '" + realFile("kdepim_test1_john_doe.contact") + "' >/dev/full"}),
        {}};
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("could not be written"), std::string::npos) << run.err;
}

} // namespace
} // namespace tressimo::testing
