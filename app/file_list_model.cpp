#include "app/file_list_model.h"

#include "shell/native_path.h"

namespace tressimo::app {

using filelist::FileList;

FileListModel::FileListModel(FileList& list, QObject* parent)
    : QAbstractListModel(parent), m_list(list), m_shownRows(list.Rows())
{
    // The observer outlives nothing: FileList has no way to remove one, so the model must
    // live as long as the list (the window owns both).
    m_list.addObserver([this](FileList::Change change, int row) { listChanged(change, row); });
}

int FileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_shownRows;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.column() != 0 || index.row() < 0 || index.row() >= m_shownRows)
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    return shell::displayTextOf(m_list.text(index.row()));
}

void FileListModel::flush()
{
    const int rows = m_list.Rows();
    if (rows <= m_shownRows)
        return;
    beginInsertRows(QModelIndex(), m_shownRows, rows - 1);
    m_shownRows = rows;
    endInsertRows();
}

void FileListModel::listChanged(FileList::Change change, int row)
{
    switch (change) {
    case FileList::Change::PlaceholderFilled:
        // Row 0 is always shown.
        emit dataChanged(index(row), index(row));
        break;
    case FileList::Change::RowAppended:
        break; // shown at the next flush
    case FileList::Change::Reset:
        beginResetModel();
        m_shownRows = m_list.Rows();
        endResetModel();
        break;
    }
}

} // namespace tressimo::app
