#pragma once
// A new store's file takes its final name only once it holds a complete, committed store,
// without ever replacing a file that has the final name. On Linux it is made without a name
// (O_TMPFILE) in the final folder and linked there, so a process killed before leaves
// nothing; where the file system cannot make unnamed files, it is written under a hidden name
// beside the final one and renamed. The hidden name says which process made it, so that a
// killed process's file is removed by the next store made in that folder.

#include "pst/io/sink.h"

#include <filesystem>
#include <functional>
#include <memory>

namespace tressimo::mapi {

struct StagedFile
{
    std::unique_ptr<pst::Sink> sink;
    // Gives the file its final name; fails with "File exists" when that name was taken in the
    // meantime. Called while the sink lives. Throws pst::IoError.
    std::function<void()> publish;
    // After a failure: removes the hidden file, if any (an unnamed one goes with its sink).
    std::function<void()> discard;
};

// Creates the file, refusing at once when the final path exists, after removing what killed
// runs left in its folder (a hidden name of this layer's, its process gone, holding no more
// than the start of a store); unnamed where the file
// system allows and `unnamed` is not turned off, else hidden. The sink's errors, and those of
// creating it, name the final path. Throws pst::IoError.
StagedFile createStagedFile(const std::filesystem::path& finalPath, bool unnamed = true);

} // namespace tressimo::mapi
