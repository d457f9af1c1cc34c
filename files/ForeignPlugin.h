#pragma once

#include "files/PictureReader.h"

#include <string>
#include <vector>

namespace darkfill::files {

// The name of the plugin that holds Qt's readers for the formats that only Qt
// reads, and of its one entry, which gives its ForeignReader.
inline constexpr const char* QtReaderPluginName = "darkfill_qt_reader.so";
inline constexpr const char* ForeignReaderEntry = "darkfill_foreign_picture_reader";

// The foreign reader of the first plugin among the paths that loads, or null
// where none does (Qt not installed, say). A program loads it only when a file
// in such a format comes, so that it never maps Qt otherwise.
const ForeignReader* LoadForeignReader(const std::vector<std::string>& paths);

}  // namespace darkfill::files
