#pragma once
// A new store's file is written under a hidden name beside its final one and takes the final
// name only once it holds a complete, committed store, without ever replacing a file that
// has the final name. So a process killed while a store is being created leaves at most a
// hidden partial file, never an unreadable file under the name the user asked for.

#include "pst/io/sink.h"

#include <filesystem>
#include <memory>

namespace tressimo::mapi {

struct StagedFile
{
    std::unique_ptr<pst::Sink> sink;
    std::filesystem::path stagingPath;
};

// Creates the hidden file ("." + name + ".XXXXXX" in the same folder), refusing at once when
// the final path exists. The sink's errors, and those of creating it, name the final path.
// Throws pst::IoError.
StagedFile createStagedFile(const std::filesystem::path& finalPath);

// Gives the staged file its final name; fails with "File exists" when that name was taken in
// the meantime. Throws pst::IoError.
void publishStagedFile(const std::filesystem::path& stagingPath, const std::filesystem::path& finalPath);

} // namespace tressimo::mapi
