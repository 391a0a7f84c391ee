// The command line's account of a run, through its own code with a fake session: exit
// statuses, what a failing store makes it say, and untrusted text shown escaped.

#include "cli/convert_mode.h"
#include "shell/path_rules.h"
#include "shell/visible_text.h"
#include "tests/contacts/contact_xml.h"
#include "tests/outlook/fake_session.h"

#include <gtest/gtest.h>
#include <sstream>

namespace tressimo::testing {
namespace {

TEST(ConvertMode, ExitStatusAndSummarySayWhatTheFileHolds)
{
    // Files that load, files that do not, a call failing the store from the `atYield`-th yield
    // on, the exit status and a line of standard error. Yields 1-4 come before the loop, row r's
    // is 5 + r. (What a failing store leaves is counted in the conversion's tests; the wording,
    // past a real file-size limit.)
    const std::tuple<int, int, std::string, int, int, std::string> cases[] = {
        {3, 0, "", 0, 0, "3 contacts written to "},
        {2, 1, "", 0, 1, "2 contacts written to "},
        {0, 2, "", 0, 2, "0 contacts written to "},
        {3, 0, "Add(", 5, 2, " holds 0 contacts; 3 of 3 files not converted"},
    };
    for (const auto& [good, broken, failing, atYield, status, line] : cases) {
        SCOPED_TRACE(line);
        TempDir dir;
        auto world = std::make_shared<FakeWorld>();
        cli::ConvertSettings settings;
        for (int i = 0; i < good + broken; ++i)
            settings.paths.push_back(dir.write(concat({"p", std::to_string(i), ".contact"}),
                                               i < good ? contactDocument("") : "<broken")
                                         .string());
        settings.outputFolder = nativePath("/out");
        settings.createSession = fakeSessionFactory(world);
        settings.environment.clock = [] { return std::chrono::system_clock::time_point{}; };
        settings.environment.random = [](std::span<std::uint8_t> out) { std::fill(out.begin(), out.end(), 0); };
        settings.environment.localTime = [](auto) { return convert::LocalTime{2010, 3, 5, 9, 7, 4}; };
        int yields = 0;
        settings.interrupted = [&] {
            if (++yields == atYield)
                world->storeFailures = {failing};
            return false;
        };
        std::ostringstream out, err;
        EXPECT_EQ(cli::runConvert(settings, out, err), status) << err.str();
        EXPECT_NE(err.str().find(line), std::string::npos) << err.str();
        EXPECT_TRUE(out.str().starts_with(nativePath("/out/WindowsContacts"))) << out.str();
    }
}

// A file name can hold an escape sequence that would retitle the terminal or clear it.
TEST(ConvertMode, UntrustedTextIsShownEscaped)
{
    const std::pair<std::string, std::string> cases[] = {
        {"plain ä €.contact", "plain ä €.contact"},
        {"a\nb\rc\td", "a\\nb\\rc\\td"},
        {"\x1b]0;owned\x07\x1b[2J\x7f", "\\x1b]0;owned\\x07\\x1b[2J\\x7f"},
        {"c1 \xc2\x9b" "31m \xc2\xa0", "c1 \\u009b31m \xc2\xa0"},
        {"bad \xff \xc3 \xe2\x82 \xed\xa0\x80 \xc0\xaf",
         "bad \\xff \\xc3 \\xe2\\x82 \\xed\\xa0\\x80 \\xc0\\xaf"},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(shell::visibleText(text), shown);

#ifdef _WIN32
    GTEST_SKIP() << "Windows file names cannot hold control characters";
#endif
    TempDir dir;
    cli::ConvertSettings settings;
    settings.paths = {dir.write("\x1b]0;owned\x07\n.contact", "<broken").string()};
    settings.outputFolder = dir.path().string();
    settings.createSession = fakeSessionFactory(std::make_shared<FakeWorld>());
    settings.environment = env::systemEnvironment();
    // Standard output that cannot be written is a failure too.
    std::ostringstream out, err;
    out.setstate(std::ios::badbit);
    EXPECT_EQ(cli::runConvert(settings, out, err), 2);
    EXPECT_NE(err.str().find("the output could not be written"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find(shell::kPathSeparator + std::string("\\x1b]0;owned\\x07\\n.contact: ")), std::string::npos)
        << err.str();
    EXPECT_EQ(err.str().find('\x1b'), std::string::npos);
}

} // namespace
} // namespace tressimo::testing
