#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writing files whole or not at all: each is written into a new file in its
// folder (without a name where the file system allows, else under a short
// temporary one), made durable, then put in place under its name in one step.
// Any failure raises FileError naming the file and the reason, and leaves what
// had the names as it was.
//
// Several files are written as one: none is put in place before all are
// complete, and where one cannot be, those put in place before it are taken
// back. Taking back goes by the file's identity (device and inode), never by
// name alone, so that a file that another program has put under a name since
// is left alone. Programs that write with this library put their files in
// place one at a time in each folder (a lock on the folder), so that of two
// runs that write the same names, the files of one run stay, never a mix.
//
// Limitations: names up to the system's limit (NAME_MAX) can be written: the
// temporary names take at most 30 bytes whatever the name. Replacing keeps the replaced
// file's permissions, and writes through a symbolic link to its file.

namespace darkfill::files {

// What becomes of a file that already has the name: replaced, or kept, even
// one that another program puts there while the new file is being written.
enum class ExistingFile { Replace, Keep };

struct FileBytes {
    std::string name;  // as the system spells it
    std::vector<std::uint8_t> bytes;
};

void WriteFilesAtomically(const std::vector<FileBytes>& files, ExistingFile existing);

// Removes from the folder what runs of this program that were stopped (killed,
// say) left there: its temporary files, whose process is gone, and those that
// earlier versions made beside each of the named outputs ("name.1x2y3z.new",
// "name.1x2y3z.old").
void ClearStaleTemporaries(const std::string& folder, const std::vector<std::string>& outputNames);

}  // namespace darkfill::files
