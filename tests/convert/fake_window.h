#pragma once
// Fake surroundings for the conversion run: every label, bar, button, yield, prompt and
// message goes into the fake session's timeline as "window:..." text, so one list shows what
// the run did to its surroundings and to the session, in order.

#include "convert/conversion_run.h"
#include "tests/contacts/contact_xml.h"
#include "tests/outlook/fake_session.h"

#include <cstdio>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

namespace tressimo::testing {

using convert::MessageBoxText;

inline std::string barText(float value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.5g", static_cast<double>(value));
    return buffer;
}

struct FakeWindow
{
    std::shared_ptr<FakeWorld> world = std::make_shared<FakeWorld>();
    // The folder the chooser answers with (empty: cancel).
    std::string folder = nativePath("/out");
    // The clock's readings in turn; the last one repeats.
    std::deque<convert::LocalTime> times = {{2010, 3, 5, 9, 7, 4}};
    std::vector<MessageBoxText> messages;
    std::vector<float> bar;
    int yields = 0;
    // Runs inside the chooser and inside each yield (the n-th yield, from 1), as a click would.
    std::function<void()> inChooser;
    std::function<void(int)> inYield;

    // The thread that made the window: the only one that may touch it.
    std::thread::id owner = std::this_thread::get_id();

    void event(std::string text)
    {
        EXPECT_EQ(std::this_thread::get_id(), owner) << "window:" << text << " from another thread";
        world->calls.push_back("window:" + std::move(text));
    }

    convert::RunSurroundings surroundings()
    {
        convert::RunSurroundings s;
        s.BrowseForFolder = [this](std::string_view title) {
            event("BrowseForFolder(" + std::string(title) + ")");
            if (inChooser)
                inChooser();
            return folder;
        };
        s.showMessage = [this](const MessageBoxText& m) {
            event("message(" + m.title + ")");
            messages.push_back(m);
        };
        s.setLblCurrentDBX = [this](std::string_view text) { event("LblCurrentDBX=" + std::string(text)); };
        s.setLblProgessCurrent = [this](std::string_view text) {
            event("LblProgessCurrent=" + std::string(text));
        };
        s.setProgressRange = [this](double min, double max) {
            event("range(" + barText(static_cast<float>(min)) + "," + barText(static_cast<float>(max)) + ")");
        };
        s.setProgressValue = [this](float value) {
            event("bar=" + barText(value));
            bar.push_back(value);
        };
        s.setConvertEnabled = [this](bool on) { event(on ? "Convert on" : "Convert off"); };
        s.setListCommandsEnabled = [this](bool on) { event(on ? "list on" : "list off"); };
        s.yield = [this] {
            event("yield");
            ++yields;
            if (inYield)
                inYield(yields);
        };
        s.environment.clock = [] { return std::chrono::system_clock::time_point{}; };
        s.environment.random = [](std::span<std::uint8_t> out) { std::fill(out.begin(), out.end(), 0); };
        s.environment.localTime = [this](std::chrono::system_clock::time_point) {
            EXPECT_EQ(std::this_thread::get_id(), owner) << "clock read from another thread";
            const convert::LocalTime t = times.front();
            if (times.size() > 1)
                times.pop_front();
            return t;
        };
        s.createSession = [this, factory = fakeSessionFactory(world)] {
            event("createSession");
            return factory();
        };
        return s;
    }

    // The timeline entries that start with the prefix.
    std::vector<std::string> events(std::string_view prefix) const
    {
        return world->callsStartingWith(prefix);
    }
};

inline std::string person(std::string_view given, std::string_view family = "Row",
                          std::string_view extra = {})
{
    return contactDocument(name(element("c:GivenName", given) + element("c:FamilyName", family)) +
                           std::string(extra));
}

// prefix + i. Built by appending: GCC 12 warns falsely (-Wrestrict) on "literal" + std::string.
inline std::string numbered(std::string_view prefix, std::size_t i)
{
    std::string text(prefix);
    text += std::to_string(i);
    return text;
}

// `count` files, the contact of row i named "G<i>", with the notes given.
inline std::vector<std::string> contactRows(const TempDir& dir, int count, const std::string& notes = {})
{
    std::vector<std::string> rows;
    const std::string extra = notes.empty() ? std::string() : element("c:Notes", notes);
    for (int i = 0; i < count; ++i)
        rows.push_back(
            dir.write(numbered("row", i) + ".contact", person(numbered("G", i), "Row", extra)).string());
    return rows;
}

inline filelist::FileList listOf(const std::vector<std::string>& rows)
{
    filelist::FileList list;
    for (const std::string& row : rows)
        list.AddFileRow(row);
    return list;
}

inline std::vector<std::string> savedFirstNames(const FakeWorld& world)
{
    std::vector<std::string> names;
    for (const SavedItem& item : world.saved)
        names.push_back(item.puts.at("FirstName"));
    return names;
}

} // namespace tressimo::testing
