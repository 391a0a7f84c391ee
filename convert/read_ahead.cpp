#include "convert/read_ahead.h"
#include "platform/path_text.h"

#include "contacts/contact_document.h"
#include "text/ascii.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <stdexcept>
#include <system_error>

namespace tressimo::convert {

namespace {

// A taker that finds no row waits until the reader has this many, or this long.
constexpr std::size_t kWakeAfterRows = 8;
constexpr std::chrono::milliseconds kLongestBatchWait{5};
// Files opened ahead of the one being read: enough for the disk to work on several at once.
constexpr int kFilesOpenedAhead = 32;
// Once a file came from the disk, the system is asked to read ahead for this many files more.
constexpr int kFilesAskedAheadAfterDiskWait = 4096;

// The row's file, by its exact bytes (`file`, opened ahead); a row with blanks at its ends that
// names no file so is tried trimmed, as the list's text may carry blanks its file name lacks.
contacts::ContactDocument loadRow(contacts::OpenedContactFile& file, const std::string& rowText,
                                  std::string_view trimmed)
{
    contacts::ContactDocument document = contacts::ContactDocument::load(file);
    if (document.loaded() || trimmed.size() == rowText.size())
        return document;
    contacts::ContactDocument second =
        contacts::ContactDocument::load(platform::pathFromText(trimmed));
    if (second.loaded())
        return second;
    return document;
}

constexpr std::size_t kKeptCapacity = 16 * 1024;

// A result's start values. Texts keep their storage for the next file, unless a huge one
// would keep its memory circulating through the ring long after its file.
void releaseHugeTexts(ReadRow& row)
{
    contacts::forEachContactField([&](const contacts::ContactField& field) {
        if (field.kind == contacts::ContactFieldKind::Text && (row.record.*field.text).capacity() > kKeptCapacity)
            std::string().swap(row.record.*field.text);
    });
    if (row.composed.body.capacity() > kKeptCapacity)
        std::string().swap(row.composed.body);
}

void prefetchWhole(const ReadRow& row)
{
    const auto* bytes = reinterpret_cast<const char*>(&row);
    for (std::size_t offset = 0; offset < sizeof(ReadRow); offset += 64)
        __builtin_prefetch(bytes + offset);
}

void clearForReuse(ReadRow& row)
{
    row.record.reset();
    releaseHugeTexts(row);
    row.loaded = false;
    row.error.clear();
    row.thrown = nullptr;
    row.picture.reset();
    row.composed = {};
    row.held = 0;
}

} // namespace

ReadAhead::ReadAhead(std::vector<std::string> rows, ReadAheadLimits limits, BeforeRow beforeRow)
    : m_rows(std::move(rows)), m_limits{std::max<std::size_t>(limits.rows, 1), limits.bytes},
      m_beforeRow(std::move(beforeRow)),
      // No more slots than rows.
      m_slots(std::clamp<std::size_t>(m_rows.size(), 1, m_limits.rows))
{
    for (auto& slot : m_slots)
        slot = std::make_unique<ReadRow>();
    try {
        m_thread = std::thread(&ReadAhead::readRows, this);
    } catch (const std::system_error&) {
        // No thread to be had (a process limit, say): the rows are read one by one as they
        // are taken, as if there were no reader.
        m_inline = true;
    }
}

ReadAhead::~ReadAhead()
{
    stop();
}

void ReadAhead::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_space.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

void ReadAhead::take(std::unique_ptr<ReadRow>& row)
{
    assert(m_taken < rowCount());
    if (!row)
        row = std::make_unique<ReadRow>();
    if (m_inline) {
        readRow(m_taken++, *row);
        return;
    }
    // The row handed back is done with: a huge text of it goes now, not when its slot comes
    // round again, many rows later. Looked for only in a row that held that much (the reader
    // let go of larger storage before it read the row); one a later value of the same field
    // replaced goes when the slot is read into again.
    if (row->held > kKeptCapacity)
        releaseHugeTexts(*row);

    bool wakeReader = false;
    {
        std::unique_lock lock(m_mutex);
        m_takenBytes = 0;
        if (m_heldBack && m_queued <= m_limits.rows / 2 && m_queuedBytes <= m_limits.bytes / 2) {
            m_heldBack = false;
            m_space.notify_one();
        }
        if (m_queued == 0 && !m_readerEnded) {
            // The reader is behind. Rather than be woken for every row it reads, wait for a
            // few at once, but not for long: the window yields only between rows.
            m_wanted = kWakeAfterRows;
            m_ready.wait_for(lock, kLongestBatchWait,
                             [this] { return m_queued >= m_wanted || m_readerEnded; });
            m_wanted = 1;
            m_ready.wait(lock, [this] { return m_queued > 0 || m_readerEnded; });
            m_wanted = 0;
        }
        if (m_queued == 0) {
            if (m_readerFailure)
                std::rethrow_exception(m_readerFailure);
            assert(!"a row taken after a stop, or past the last row");
            throw std::logic_error("No row is left to take.");
        }
        std::swap(row, m_slots[m_first]);
        m_first = (m_first + 1) % m_slots.size();
        --m_queued;
        m_takenBytes = row->held;
        m_queuedBytes -= m_takenBytes;
        ++m_taken;
        // The row taken counts until it is handed back: while a huge one is written, no
        // other huge one is read.
        if (m_heldBack && m_queued <= m_limits.rows / 2 &&
            m_queuedBytes + m_takenBytes <= m_limits.bytes / 2) {
            m_heldBack = false;
            wakeReader = true;
        }
    }
    if (wakeReader)
        m_space.notify_one();
    // The row was written on the reader's core: asking for all of it at once lets the misses
    // overlap, where the writer would otherwise meet them one field at a time.
    prefetchWhole(*row);
}

void ReadAhead::readRows()
{
    std::exception_ptr failure;
    try {
        for (int r = 0; r < rowCount(); ++r) {
            std::unique_lock lock(m_mutex);
            if (m_queued >= m_limits.rows || (m_queued > 0 && m_queuedBytes >= m_limits.bytes) ||
                m_takenBytes >= m_limits.bytes) {
                m_heldBack = true;
                // A taker waiting for more gets what there is.
                if (m_wanted > 0)
                    m_ready.notify_one();
            }
            m_space.wait(lock, [this] { return m_stopping || !m_heldBack; });
            if (m_stopping)
                break;
            // The slot after the queued ones stays there while rows are taken.
            assert(m_queued < m_slots.size());
            ReadRow& slot = *m_slots[(m_first + m_queued) % m_slots.size()];
            lock.unlock();
            readRow(r, slot);
            const std::size_t bytes = slot.held = heldBytes(slot);
            lock.lock();
            if (m_stopping)
                break;
            ++m_queued;
            m_queuedBytes += bytes;
            const bool wakeTaker = m_wanted > 0 && m_queued >= m_wanted;
            lock.unlock();
            if (wakeTaker)
                m_ready.notify_one();
        }
    } catch (...) {
        // Only the queue's own locking can get here; a row's reading keeps what it throws.
        failure = std::current_exception();
    }
    // Files opened for rows not read are closed now, not when the run is over.
    m_openedAhead.clear();
    {
        std::lock_guard lock(m_mutex);
        m_readerEnded = true;
        m_readerFailure = failure;
    }
    m_ready.notify_one();
}

void ReadAhead::readRow(int row, ReadRow& into)
{
    const std::string& text = m_rows[static_cast<std::size_t>(row)];
    const std::string_view trimmed = text::trimSpaces(text);
    if (trimmed.empty()) {
        clearForReuse(into);
        return; // a blank row names no file: nothing to read
    }
    // The slot was last used on the writing thread's core, a ring ago: its lines are asked for
    // now, to arrive while the file is read, and it is cleared only then.
    prefetchWhole(into);
    bool cleared = false;
    try {
        if (m_beforeRow)
            m_beforeRow(row);
        std::optional<contacts::OpenedContactFile> file = openedFile(row);
        if (!file)
            file.emplace(platform::pathFromText(text));
        // One document at a time: it lives while its row is read.
        const contacts::ContactDocument document = loadRow(*file, text, trimmed);
        noteDiskWait(file->waitedForDisk());
        clearForReuse(into);
        cleared = true;
        if (!document.loaded()) {
            into.error = document.error();
        } else {
            contacts::DisplayNode(document.document(), into.record, m_context);
            // Trimmed here rather than on the run's thread, which writes and is the busier one.
            contacts::handOverInPlace(into.record);
            into.composed = outlook::composeValues(into.record);
            into.loaded = true;
            if (!into.record.Photo.empty())
                into.picture = image::outlookPictureFromBase64(into.record.Photo, into.record.PhotoType);
        }
    } catch (...) {
        if (!cleared)
            clearForReuse(into);
        into.thrown = std::current_exception();
    }
}

std::optional<contacts::OpenedContactFile> ReadAhead::openedFile(int row)
{
    for (; m_nextToOpen < rowCount() && m_nextToOpen <= row + kFilesOpenedAhead; ++m_nextToOpen) {
        const std::string& text = m_rows[static_cast<std::size_t>(m_nextToOpen)];
        if (!text::trimSpaces(text).empty()) {
            m_openedAhead.emplace_back(m_nextToOpen, contacts::OpenedContactFile(platform::pathFromText(text)));
            if (m_askingAhead > 0)
                m_openedAhead.back().second.askAhead();
        }
    }
    // Rows are read in order, so the row's file, if opened, is the first one waiting.
    std::optional<contacts::OpenedContactFile> file;
    if (!m_openedAhead.empty() && m_openedAhead.front().first == row) {
        file.emplace(std::move(m_openedAhead.front().second));
        m_openedAhead.pop_front();
    }
    return file;
}

void ReadAhead::noteDiskWait(bool waited)
{
    // A request costs a call even for a file in memory, so it is made only while files come
    // from the disk: the next ones then come several at once, not one wait after another.
    if (!waited) {
        m_askingAhead = std::max(0, m_askingAhead - 1);
        return;
    }
    if (m_askingAhead == 0)
        for (auto& opened : m_openedAhead)
            opened.second.askAhead();
    m_askingAhead = kFilesAskedAheadAfterDiskWait;
}

std::size_t ReadAhead::heldBytes(const ReadRow& row)
{
    std::size_t bytes = sizeof(ReadRow) + row.error.size() + (row.picture ? row.picture->jpeg.size() : 0) +
                        row.composed.body.size();
    contacts::forEachContactField([&](const contacts::ContactField& field) {
        if (field.kind == contacts::ContactFieldKind::Text)
            bytes += (row.record.*field.text).size();
        else if (field.kind == contacts::ContactFieldKind::TextList)
            for (const std::string& item : row.record.*field.list)
                bytes += item.size();
    });
    return bytes;
}

} // namespace tressimo::convert
