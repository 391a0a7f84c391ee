#pragma once
// Runs pst_oracle.py (pypff, a reader we did not write) on a PST file and hands its JSON dump
// to C++ tests: store name, folder tree, and every property of every item, with named
// properties resolved through the file's own name-to-ID map.

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string_view>
#include <vector>

namespace tressimo::pst::oracle {


// Throws std::runtime_error naming the file and pypff's complaint when it cannot be read.
nlohmann::json dumpWithPypff(const std::filesystem::path& pst);

// Depth-first search of the folder tree for a folder by display name.
const nlohmann::json* findFolder(const nlohmann::json& dump, std::string_view name);
// Every folder of the dump, depth-first.
std::vector<const nlohmann::json*> allFolders(const nlohmann::json& dump);
// A property of a folder or item by full tag (e.g. 0x3001001F), or by named property.
const nlohmann::json* findProperty(const nlohmann::json& object, std::uint32_t tag);
const nlohmann::json* findNamedProperty(const nlohmann::json& object, std::string_view guid,
                                        std::uint32_t lid);

} // namespace tressimo::pst::oracle
