// libFuzzer target: the strict checker and the structure dump on any bytes. A file it cannot
// read is a ReadError; anything else escaping, a crash, a hang or an out-of-bounds read is a
// fault of the checker, and so is a layer giving up (CHECK_INCOMPLETE): each is to read past
// what it cannot use.

#include "pst/check/checker.h"
#include "pst/check/dump.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <streambuf>

using namespace tressimo::pst::check;

namespace {

// Discards the dump; formatting it is what is exercised.
class NullBuffer : public std::streambuf
{
protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const tressimo::pst::Bytes bytes(data, data + size);
    try {
        for (const Violation& v : checkPstBytes(bytes, "fuzz.pst"))
            if (v.code == "CHECK_INCOMPLETE") {
                std::fprintf(stderr, "%s\n", v.toString().c_str());
                std::abort();
            }
    } catch (const ReadError&) {
    }
    try {
        NullBuffer discard;
        std::ostream out(&discard);
        dumpPst(*PstFile::fromBytes(bytes, "fuzz.pst"), out);
    } catch (const ReadError&) {
    }
    return 0;
}
