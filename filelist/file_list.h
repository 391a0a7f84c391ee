#pragma once
// The file list: the rows of the one-column list that the next conversion reads, with its
// count label and column width. No toolkit here; the window draws it through an observer.
//
// An empty list is one row with empty text (a placeholder the first file reuses), so the row
// count of a non-empty list is its file count. Rows hold paths as byte strings, exactly as
// given: never converted, trimmed or de-duplicated.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tressimo::filelist {

class FileList
{
public:
    // Column widths in twips: as the window loads, and from the first file on.
    static constexpr int kColumnWidthAtLoad = 50000;
    static constexpr int kColumnWidthWithFiles = 10000;

    enum class Change {
        PlaceholderFilled, // row 0 got the first file of an empty list
        RowAppended,       // a new last row
        Reset,             // back to the single empty row
    };
    // Called after each change, with the row concerned (0 for Reset); the label and the
    // column width are already up to date when it runs.
    using Observer = std::function<void(Change change, int row)>;

    FileList();

    // Lets pending window messages run; AddFileRow calls it between its steps so the window
    // repaints during long adds.
    void setYield(std::function<void()> yield) { m_yield = std::move(yield); }
    void addObserver(Observer observer) { m_observers.push_back(std::move(observer)); }

    void AddFileRow(std::string_view text);
    void ResetFileList();

    // The row count; at least 1.
    int Rows() const { return static_cast<int>(m_rows.size()); }
    // The text of one row, 0 <= row < Rows(); valid until the list next changes.
    const std::string& text(int row) const;
    const std::vector<std::string>& texts() const { return m_rows; }
    // The list holds no file when its first row's text is empty.
    bool isEmpty() const { return m_rows.front().empty(); }

    // "0 files", or the row count followed by " Email Messages".
    const std::string& countLabel() const { return m_countLabel; }
    int columnWidth() const { return m_columnWidth; }

private:
    void letMessagesRun();
    void notify(Change change, int row);

    std::vector<std::string> m_rows;
    std::string m_countLabel;
    int m_columnWidth = kColumnWidthAtLoad;
    std::function<void()> m_yield;
    std::vector<Observer> m_observers;
};

} // namespace tressimo::filelist
