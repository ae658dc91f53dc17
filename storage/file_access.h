// Files the host reads and writes for the windows: pictures under bmp\,
// photo files chosen by the user, lists exported for other programs.
// Paths may be written with backslashes.
//
// Every file is written whole or not at all: it is built under a hidden
// temporary name in the target's folder, flushed to the disk, and only
// then renamed to its name, so a reader never sees half a file and a
// failure leaves the target as it was.
#pragma once

#include <string>
#include <string_view>

#include "foundation/status.h"
#include "foundation/value.h"

namespace officerecords {

// "bmp\cap_model.jpg" -> "bmp/cap_model.jpg".
std::string native_path(std::string_view path);
// -1 when the file cannot be read.
int read_file(const std::string& path, blob& bytes);
// -1 when the file cannot be written; the file is replaced whole.
int write_file(const std::string& path, const blob& bytes);

// Why a file could not be written, in the clerk's words, from an errno
// value: "文件夹不存在", "磁盘空间不足", ...
std::string file_error_text(int err);

// Renames the finished file `built` to `target` and syncs the folder, so
// the new name survives a power cut. Unless `overwrite`, an existing
// target is never replaced, not even one that appeared meanwhile. `what`
// names the file in the messages ("数据库", "文件").
[[nodiscard]] status move_into_place(const std::string& built, const std::string& target,
                                     bool overwrite, std::string_view what);

// When a file the program writes for the clerk (an export, a backup, a
// restore's kept copy, a display file) may take a name: always where
// nothing stands; never over a folder or over a database in use (this
// process's, or `database`, the one being backed up); over another file
// only once the clerk has agreed to replace it, with the question below.
enum class target_state { free, replaceable, refused };
struct publish_target {
    target_state state = target_state::free;
    // replaceable: the question to ask; refused: why not.
    std::string text;
};
// `what` names the file in the message ("导出的文件", "备份文件").
publish_target check_target(const std::string& target, std::string_view what,
                            const std::string& database = {});

// What a temporary file beside a database, a backup or a file written
// whole is for; the kind is part of its name.
enum class temporary_kind {
    part,    // a file written whole (staged_file)
    backup,  // a backup being written
    keep,    // the copy a restore keeps of the database it replaces
    init,    // a new database being built
};

// Who made a temporary: the host (as its name goes into a file name) and
// the process.
struct temporary_owner {
    std::string host;
    long pid = 0;
};
temporary_owner this_process();

// The name of a temporary this program makes beside `target`, in its
// folder: ".office.db.orbackup-HOST-PID-N", hidden, in a pattern no other
// program uses, naming the host and the process that made it, and never
// given twice in one process. remove_stale_temporaries() knows it by that.
std::string temporary_name(const std::string& target, temporary_kind kind,
                           const temporary_owner& owner = this_process());

// The folder a file is in; "." for a bare name.
std::string containing_folder(const std::string& path);

// Removes from `folder` the temporaries of this host whose process is gone,
// with their -journal, -wal and -shm: what a killed backup, restore or
// build left behind. A live process's temporaries, and another host's (a
// folder on a share), are left alone. How many files went.
int remove_stale_temporaries(const std::string& folder);

// Removes a database file that nobody has open, its companions first, so
// that a companion is never left without its database.
void remove_database_files(const std::string& path);

// A new file under its temporary name until publish() moves it to its
// target. Dropped unpublished, it removes its temporary.
class staged_file {
public:
    // Creates the temporary in the target's folder; fails with a message
    // naming the target when that folder is missing or cannot take a file.
    static result<staged_file> create(const std::string& target);
    staged_file(staged_file&& other) noexcept;
    staged_file& operator=(staged_file&&) = delete;
    ~staged_file();

    const std::string& target() const { return target_; }
    // The temporary's name, for a writer that opens the file by name.
    const std::string& path() const { return temp_; }
    // Appends bytes to the temporary; a write the disk does not take whole fails.
    [[nodiscard]] status append(std::string_view bytes);
    // Flushes the temporary to the disk and moves it to the target; on a
    // failure the temporary is removed and the target left as it was.
    [[nodiscard]] status publish(bool overwrite);

private:
    staged_file(std::string target, std::string temp, int fd)
        : target_(std::move(target)), temp_(std::move(temp)), fd_(fd) {}
    status failed(int err);

    std::string target_;
    std::string temp_;
    int fd_ = -1;
};

// Gives a file SQLite made the mode every other new file of this process
// gets, 0666 less the umask. SQLite makes its files 0644 whatever the
// umask: the other clerks of a shared folder, with umask 0002, could not
// write a database one of them made.
[[nodiscard]] status take_umask_mode(const std::string& path);

// The database files this process has open through SQLite, by identity
// (device and inode). Opening such a file, or its -wal, -shm or -journal,
// any other way and closing it again would drop every lock the process
// holds on the database: a file that is one of them is never read or
// replaced here.
void note_database_opened(const std::string& path);
void note_database_closed(const std::string& path);
bool is_open_database(const std::string& path);

// The largest picture file the photo store takes.
inline constexpr std::size_t k_max_photo_bytes = 20u * 1024 * 1024;
// Reads a picture file whole for the photo store: -1, with `bytes`
// untouched, when it cannot be read, is larger than k_max_photo_bytes, or
// is not a BMP, GIF, JPEG or PNG picture, so that a stray document never
// lands among the photos.
int read_photo_file(const std::string& path, blob& bytes);

}  // namespace officerecords
