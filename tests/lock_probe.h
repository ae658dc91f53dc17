// Which process holds a database's SQLite lock, as another process finds
// it: every connection in WAL mode keeps a shared lock on the file's shared
// byte range for as long as it is open. Without it another program takes
// the file for unused and may remove its log under the running program.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace officerecords::testkit {

// The process holding a lock that a writer of the shared range would meet;
// 0 when none, -1 when it could not be asked. Asked from a child process:
// a process never meets its own locks.
inline long lock_holder(const std::string& path) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        long holder = -1;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            struct flock probe {};
            probe.l_type = F_WRLCK;
            probe.l_whence = SEEK_SET;
            probe.l_start = 0x40000000 + 2;
            probe.l_len = 510;
            if (::fcntl(fd, F_GETLK, &probe) == 0) holder = probe.l_type == F_UNLCK ? 0 : probe.l_pid;
        }
        const ssize_t sent = ::write(fds[1], &holder, sizeof holder);
        _exit(sent == sizeof holder ? 0 : 1);
    }
    ::close(fds[1]);
    long holder = -1;
    if (child < 0 || ::read(fds[0], &holder, sizeof holder) != sizeof holder) holder = -1;
    ::close(fds[0]);
    int st = 0;
    if (child > 0) ::waitpid(child, &st, 0);
    return holder;
}

}  // namespace officerecords::testkit
