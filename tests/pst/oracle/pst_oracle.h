#pragma once
// Runs pst_oracle.py (pypff, a reader we did not write) on a PST file and hands its JSON dump
// to C++ tests: store name, folder tree, and every property of every item, with named
// properties resolved through the file's own name-to-ID map.

#include "pst/check/property.h"

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>
#include <vector>

namespace tressimo::pst::oracle {

// Throws std::runtime_error naming the file and pypff's complaint when it cannot be read.
nlohmann::json dumpWithPypff(const std::filesystem::path& pst);

// Depth-first search of the folder tree for a folder by display name.
const nlohmann::json* findFolder(const nlohmann::json& dump, std::string_view name);
// Every folder of the dump, depth-first.
std::vector<const nlohmann::json*> allFolders(const nlohmann::json& dump);
// A property of a folder or item by full tag (e.g. 0x3001001F).
const nlohmann::json* findProperty(const nlohmann::json& object, std::uint32_t tag);
// A value in the form the script gives it, for the types both render the same way; nullopt for
// times and floats, which the script renders in its own way.
std::optional<nlohmann::json> asOracleJson(const check::PropertyValue& value);

} // namespace tressimo::pst::oracle
