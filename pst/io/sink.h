#pragma once
// Where a PST file's bytes go. The writer only ever writes at offsets, extends, and syncs;
// tests swap the file for memory or for a sink that fails on a chosen write.

#include "pst/io/bytes.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tressimo::pst {

// A failed write, read or sync; the message names the file and the cause.
class IoError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class Sink
{
public:
    virtual ~Sink() = default;
    virtual void writeAt(std::uint64_t offset, ByteView data) = 0;
    // Sets the file's size (the format grows files a whole allocation region at a time).
    virtual void resize(std::uint64_t size) = 0;
    // Makes everything written so far durable.
    virtual void sync() = 0;
    virtual std::uint64_t size() const = 0;
    // What the sink writes to, for error messages (the file's path).
    virtual std::string name() const = 0;

    // A piece of the file: where it goes and its bytes.
    struct Piece
    {
        std::uint64_t offset;
        ByteView bytes;
    };
    // Extends the file to `size`, writes `pieces` and syncs, then writes `last` and syncs: the
    // growth of a file and the header that names it. A file sink makes it one step that a
    // killed process does not cut short.
    virtual void growAndCommit(std::uint64_t size, const std::vector<Piece>& pieces, Piece last)
    {
        resize(size);
        for (const Piece& piece : pieces)
            writeAt(piece.offset, piece.bytes);
        sync();
        writeAt(last.offset, last.bytes);
        sync();
    }
};

// A new file, created exclusively: an existing file is never replaced. On Linux it has the
// disk start writing every megabyte, so that a sync finds little left to do.
class FileSink : public Sink
{
public:
    static std::unique_ptr<FileSink> createNew(const std::filesystem::path& path);
    // A new file without a name in the folder of `path` (Linux's O_TMPFILE), which linkAs()
    // names `path` later; a process that dies before leaves nothing behind. Refused at once
    // when `path` exists; nullptr when the file system cannot make unnamed files.
    static std::unique_ptr<FileSink> createUnnamed(const std::filesystem::path& path);
    ~FileSink() override;

    // Gives a file made by createUnnamed() its name, never replacing a file (then "File
    // exists"), and syncs the folder so that the name lasts.
    void linkAs(const std::filesystem::path& path);

    void writeAt(std::uint64_t offset, ByteView data) override;
    void resize(std::uint64_t size) override;
    void sync() override;
    std::uint64_t size() const override { return m_size; }
    std::string name() const override;
    // On Linux a child process, which the parent waits for, takes the steps: when the parent
    // is killed meanwhile, the child still finishes them, so the file is never left longer
    // than its header says.
    void growAndCommit(std::uint64_t size, const std::vector<Piece>& pieces, Piece last) override;

private:
    FileSink(std::filesystem::path path, int fd);
    [[noreturn]] void fail(const char* what, int err) const;

    std::filesystem::path m_path;
    int m_fd;
    std::uint64_t m_size = 0;
    bool m_folderSynced = false;
    // Bytes written since the disk was last asked to start writing them (see writeAt).
    std::uint64_t m_unsent = 0;
};

// Keeps the file in memory; tests read it back from bytes().
class MemorySink : public Sink
{
public:
    explicit MemorySink(std::string name = "memory") : m_name(std::move(name)) {}
    void writeAt(std::uint64_t offset, ByteView data) override;
    void resize(std::uint64_t size) override { m_bytes.resize(size); }
    void sync() override { ++m_syncs; }
    std::uint64_t size() const override { return m_bytes.size(); }
    std::string name() const override { return m_name; }

    const Bytes& bytes() const { return m_bytes; }
    int syncCount() const { return m_syncs; }

private:
    std::string m_name;
    Bytes m_bytes;
    int m_syncs = 0;
};

// Passes everything to another sink until the chosen operation, which fails (and so does
// everything after it), as a full disk would. Operations are counted from 1; writes,
// resizes and syncs all count.
class FailingSink : public Sink
{
public:
    FailingSink(std::unique_ptr<Sink> inner, std::uint64_t failAt)
        : m_inner(std::move(inner)), m_failAt(failAt)
    {
    }
    void writeAt(std::uint64_t offset, ByteView data) override;
    void resize(std::uint64_t size) override;
    void sync() override;
    std::uint64_t size() const override { return m_inner->size(); }
    std::string name() const override { return m_inner->name(); }

    std::uint64_t operations() const { return m_count; }
    Sink& inner() { return *m_inner; }

private:
    void step();
    std::unique_ptr<Sink> m_inner;
    std::uint64_t m_failAt;
    std::uint64_t m_count = 0;
};

} // namespace tressimo::pst
