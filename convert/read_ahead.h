#pragma once
// Reading the rows of a conversion ahead of the contact being written: one thread loads each
// row's .contact file and reads it into a contact record, a bounded number of rows ahead,
// while the run's thread writes the rows before it. The run takes the results strictly in
// row order, so what it does with them is the same as when it read each row itself.
//
// The reading thread touches nothing but its own copy of the rows, the files they name and
// the queue: never the surroundings, the file list or the session.

#include "contacts/contact_file.h"
#include "contacts/contact_reader.h"
#include "contacts/contact_record.h"
#include "image/contact_picture.h"
#include "outlook/contact_item_writer.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tressimo::convert {

// What reading one row gave.
struct ReadRow
{
    // Reset, then filled as far as reading got: the row's contact, handed over (its texts
    // trimmed), when `loaded`.
    contacts::ContactRecord record;
    // The file was parsed and read into the record.
    bool loaded = false;
    // Why the file gave no document (the loader's error), when it did not load.
    std::string error;
    // What reading threw, to be rethrown on the run's thread at this row's turn.
    std::exception_ptr thrown;
    // The record's photo made into Outlook's picture (or the reason it could not be), when it
    // holds one: made here, as decoding and encoding cost more than writing the contact.
    std::optional<image::OutlookPicture> picture;
    // The values the contact writer composes from the record, when `loaded`: made here too, to
    // spare the writing thread, which is the busier one.
    outlook::ComposedValues composed;
    // What the result holds in bytes while it waits, worked out once by the reader.
    std::size_t held = 0;
};

// How far the reader may run ahead: at most `rows` results wait to be taken, and it starts on
// no further row while those hold `bytes` of text or more (so a few contacts with huge notes
// cannot fill the memory). Once it is held back, it waits until half the rows are taken, so
// the two threads do not wake each other for every row. The ring is deep because the writer
// stops now and then for the disk (the file growing, a commit) for milliseconds at a time: a
// reader that can bank rows meanwhile leaves the writer no wait afterwards. 1,024 typical
// contacts hold about 5 MB.
struct ReadAheadLimits
{
    std::size_t rows = 1024;
    std::size_t bytes = 16 * 1024 * 1024;
};

class ReadAhead
{
public:
    // Called on the reading thread just before a row's file is read (not for a row that is
    // blank): for tests, to slow reading down and to see how far ahead it runs. What it
    // throws counts as thrown by the reading of that row.
    using BeforeRow = std::function<void(int row)>;

    // Starts reading `rows` at once. Where no thread can be started, each row is read by
    // take() instead, on the caller's thread.
    ReadAhead(std::vector<std::string> rows, ReadAheadLimits limits = {}, BeforeRow beforeRow = {});
    // Stops the reader (see stop()).
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    int rowCount() const { return static_cast<int>(m_rows.size()); }
    // The text of a row, as copied at the start.
    const std::string& row(int row) const { return m_rows[static_cast<std::size_t>(row)]; }

    // Hands the next row's result over in `row`, rows in order from 0; waits while the reader
    // has not got that far. What `row` held goes to the reader, which reuses its storage for
    // a later row (results change hands by pointer: a record is never copied or moved). At
    // most rowCount() calls.
    void take(std::unique_ptr<ReadRow>& row);

    // Asks the reader to end after the file it is reading, and waits until it has. Rows not
    // taken by then are dropped. Safe to call more than once.
    void stop();

private:
    void readRows();
    void readRow(int row, ReadRow& into);
    // The row's file, opened ahead, after opening the files of the rows that follow it.
    std::optional<contacts::OpenedContactFile> openedFile(int row);
    // Notes whether reading a file waited for the disk: from then on, the files opened ahead
    // are asked for ahead too, until a long run of files has come from memory.
    void noteDiskWait(bool waited);
    // Bytes a result holds while it waits.
    static std::size_t heldBytes(const ReadRow& row);

    const std::vector<std::string> m_rows;
    const ReadAheadLimits m_limits;
    const BeforeRow m_beforeRow;
    // The reader's working state; only the reading thread uses it.
    contacts::ContactReaderContext m_context;
    // The files of the next rows, opened ahead (see contacts::OpenedContactFile), with their
    // rows; the next row to open; and for how many more files the system is asked to read
    // ahead, since a file last came from the disk. Only the reading thread uses them.
    std::deque<std::pair<int, contacts::OpenedContactFile>> m_openedAhead;
    int m_nextToOpen = 0;
    int m_askingAhead = 0;

    std::mutex m_mutex;
    std::condition_variable m_ready; // a result was queued, or the reader ended
    std::condition_variable m_space; // results were taken, or a stop was asked for
    // A ring of `rows` slots (fewer for fewer rows), made up front. The reader fills the slot
    // after the queued ones without holding the lock: no one else touches it until it is
    // queued.
    std::vector<std::unique_ptr<ReadRow>> m_slots;
    std::size_t m_first = 0;
    std::size_t m_queued = 0;
    std::size_t m_queuedBytes = 0;
    std::size_t m_takenBytes = 0; // of the row the run holds
    bool m_heldBack = false;
    // Rows the taker waits for; 0 while it is not waiting.
    std::size_t m_wanted = 0;
    bool m_stopping = false;
    bool m_readerEnded = false;
    // What ended the reader early other than a stop (not a row's reading, which goes with
    // its row): rethrown by take() once the rows it did queue are taken.
    std::exception_ptr m_readerFailure;
    // Rows read by take() itself when no thread could be started.
    bool m_inline = false;
    int m_taken = 0;

    std::thread m_thread; // last: started once everything above is made
};

} // namespace tressimo::convert
