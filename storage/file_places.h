// Where the programs find the files they read and keep the files they
// write for themselves. The user's own files follow the XDG base
// directories, each in a folder OfficeRecords:
//
//   data    ${XDG_DATA_HOME:-~/.local/share}/OfficeRecords   the demo database, a server's backups
//   config  ${XDG_CONFIG_HOME:-~/.config}/OfficeRecords      the desktop program's settings
//   cache   ${XDG_CACHE_HOME:-~/.cache}/OfficeRecords        files written only to be shown
//
// The program's own pictures and help pages come with the install, in
// <prefix>/share/officerecords beside <prefix>/bin, or lie beside the
// program in a build tree. The windows name their files relative to the
// working directory, with backslashes ("bmp\cb_save.bmp",
// "bmp\cap_model.jpg"); the hosts resolve such a name here, so that the
// install itself and the working directory are never written.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/value.h"

namespace officerecords {

enum class user_folder { data, config, cache };

// The user's folder of that kind, from the environment: an XDG_*_HOME
// counts only when it is an absolute path, as the XDG rules say; without
// it, the default under HOME (or the account's home when HOME is unset).
std::string user_folder_path(user_folder which);

// What a file is looked up for.
enum class file_use {
    // A file the program reads: a picture, a help page, or the file it
    // wrote for display under the name the window gave it.
    read,
    // A file the program writes only to show it (a member's photo).
    display,
};

struct file_places {
    std::vector<std::string> data_folders;  // the program's own files, in the order looked in
    std::string cache_folder;
    std::string working_folder;
};

// The folders the program's own files are read from, for a program in
// `program_folder`: the install's <program>/../share/officerecords, then
// the program's own folder (a build tree).
std::vector<std::string> data_folders_of(const std::string& program_folder);

// The places of this process: the folder of its program, the user's
// cache folder and the working directory, as they are now.
file_places this_process_places();

// Where `name` may be, in the order to look. Reading: the cache folder,
// each data folder, then the working folder. Display: the cache folder
// only. An absolute name is read as it stands; for display it gets no
// place at all, nor does a name with a ".." part, so that a display file
// never lands outside the cache.
std::vector<std::string> candidate_paths(std::string_view name, file_use use,
                                         const file_places& places);

// The first candidate that `exists`; when none does, the last one (a
// missing file is reported under the name in the working folder, or in
// the cache for display). Empty when `name` has no place.
std::string resolve_path(std::string_view name, file_use use, const file_places& places,
                         const std::function<bool(const std::string&)>& exists);
// The same, with the file system telling what exists.
std::string resolve_path(std::string_view name, file_use use, const file_places& places);

// Writes a file the window names for display into the cache, making its
// folders as needed, whole or not at all (staged and published). -1 when
// it cannot be written or the name has no place in the cache.
int write_display_file(std::string_view name, const blob& bytes, const file_places& places);

}  // namespace officerecords
