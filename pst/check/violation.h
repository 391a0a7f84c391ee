#pragma once
// What the checker reports: one finding per broken rule, with a stable code that tests and
// scripts can match on, where it was found, and what was expected against what was there.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tressimo::pst::check {

enum class Severity {
    Error, // the file breaks a rule; pst-check fails
    Note,  // worth knowing, not a fault (an accepted Outlook habit, maps Outlook will rebuild)
};

struct Violation
{
    std::string code;
    std::string where;
    std::string expected;
    std::string found;
    Severity severity = Severity::Error;

    // "CODE where: expected X, found Y" on one line.
    std::string toString() const;
};

using Violations = std::vector<Violation>;

// Every code the checker can report, with what it means.
struct CodeInfo
{
    std::string_view code;
    std::string_view meaning;
};
std::span<const CodeInfo> allCodes();
bool isKnownCode(std::string_view code);

// Collects findings; readers take an optional one to report what they can read past.
class Findings
{
public:
    void error(std::string_view code, std::string where, std::string expected, std::string found);
    void note(std::string_view code, std::string where, std::string what);
    void add(Violation v);
    void append(const Violations& more);

    const Violations& all() const { return m_items; }
    Violations take() { return std::move(m_items); }
    std::size_t count(std::string_view code) const;

private:
    Violations m_items;
};

// Formatting helpers used throughout the checker's messages.
std::string hex(unsigned long long value);
// A property tag as eight hex digits (0x3001001F).
std::string tagHex(std::uint32_t tag);
std::string describeNid(unsigned nid);

} // namespace tressimo::pst::check
