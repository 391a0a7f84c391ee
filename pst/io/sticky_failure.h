#pragma once
// A writer whose write failed part-way holds state the file does not: its first failure
// sticks, and every later call repeats it instead of writing on.

#include "pst/io/sink.h"

#include <exception>
#include <new>
#include <optional>
#include <string>
#include <utility>

namespace tressimo::pst {

class StickyFailure
{
public:
    explicit StickyFailure(std::string fileName = {}) : m_fileName(std::move(fileName)) {}

    void throwIfFailed() const
    {
        if (m_failure)
            throw *m_failure;
    }

    // Runs a step that writes; whatever it throws sticks, as an IoError naming the file.
    template <typename F> void guard(F&& step)
    {
        throwIfFailed();
        try {
            std::forward<F>(step)();
        } catch (...) {
            stick();
        }
    }

    // Inside a catch block: keeps the exception being handled and throws it as an IoError.
    [[noreturn]] void stick()
    {
        try {
            throw;
        } catch (const IoError& e) {
            m_failure = e;
        } catch (const std::bad_alloc&) {
            m_failure = IoError("Cannot write to \"" + m_fileName + "\": out of memory");
        } catch (const std::exception& e) {
            m_failure = IoError("Cannot write to \"" + m_fileName + "\": " + e.what());
        } catch (...) {
            m_failure = IoError("Cannot write to \"" + m_fileName + "\": unknown failure");
        }
        throw *m_failure;
    }

private:
    std::string m_fileName;
    std::optional<IoError> m_failure;
};

} // namespace tressimo::pst
