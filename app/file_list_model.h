#pragma once
// The file list as a one-column item model for the grid grdFiles1. The rows stay in
// FileList as the system's bytes; the model decodes only the rows the view asks for.
//
// Appended rows reach the view in batches: each insertion notice costs the view work, so
// the model tells it about new rows when flush() runs (before the window repaints, and at
// the end of each command) instead of once per row. Until then the view shows fewer rows,
// never wrong ones: the list only grows between flushes, and a reset is passed on at once.

#include "filelist/file_list.h"

#include <QAbstractListModel>

namespace tressimo::app {

class FileListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    // The list must outlive the model.
    explicit FileListModel(filelist::FileList& list, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Tells the view about the rows appended since the last flush.
    void flush();
    // Rows appended to the list and not yet shown.
    int pendingRows() const { return m_list.Rows() - m_shownRows; }

private:
    void listChanged(filelist::FileList::Change change, int row);

    filelist::FileList& m_list;
    int m_shownRows = 1;
};

} // namespace tressimo::app
