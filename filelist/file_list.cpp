#include "filelist/file_list.h"

#include <stdexcept>

namespace tressimo::filelist {

namespace {
const char* const kEmptyLabel = "0 files";
const char* const kCountSuffix = " Email Messages";
} // namespace

FileList::FileList() : m_rows(1), m_countLabel(kEmptyLabel) {}

const std::string& FileList::text(int row) const
{
    if (row < 0 || row >= Rows())
        throw std::out_of_range("file list: row " + std::to_string(row) + " of " + std::to_string(Rows()));
    return m_rows[static_cast<std::size_t>(row)];
}

void FileList::AddFileRow(std::string_view text)
{
    if (Rows() == 1)
        letMessagesRun();
    letMessagesRun();
    // Decide whether the placeholder is reused only now, after the yields: a click handled
    // while messages ran may have added or cleared rows, and deciding earlier would write
    // this file over the row that click added.
    int row = 0;
    Change change = Change::PlaceholderFilled;
    if (m_rows.size() == 1 && m_rows.front().empty()) {
        m_rows.front().assign(text);
        m_columnWidth = kColumnWidthWithFiles;
    } else {
        m_rows.emplace_back(text);
        row = Rows() - 1;
        change = Change::RowAppended;
    }
    m_countLabel = std::to_string(Rows()) + kCountSuffix;
    notify(change, row);
}

void FileList::ResetFileList()
{
    // The column width stays as it is.
    m_rows.resize(1);
    m_rows.front().clear();
    m_countLabel = kEmptyLabel;
    notify(Change::Reset, 0);
}

void FileList::letMessagesRun()
{
    if (m_yield) {
        // A copy, so a yield that replaces the callback does not destroy the one running.
        const std::function<void()> yield = m_yield;
        yield();
    }
}

void FileList::notify(Change change, int row)
{
    // By index: an observer may add another observer.
    for (std::size_t i = 0; i < m_observers.size(); ++i) {
        const Observer observer = m_observers[i];
        observer(change, row);
    }
}

} // namespace tressimo::filelist
