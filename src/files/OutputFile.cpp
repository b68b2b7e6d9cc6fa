#include "files/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <system_error>

namespace vireon {

namespace {

// As the kernel's own limit on nested links.
constexpr int MaxLinkHops = 40;

[[noreturn]] void ThrowWriteError(int Error, const std::string& Path) {
    throw std::system_error(Error == 0 ? EIO : Error, std::generic_category(),
                            "cannot write '" + Path + "'");
}

// False with errno set when not every byte could be written.
bool WriteAll(int File, std::string_view Bytes) {
    while (!Bytes.empty()) {
        const ssize_t Written = ::write(File, Bytes.data(), Bytes.size());
        if (Written < 0 && errno == EINTR)
            continue;
        if (Written <= 0) {
            if (Written == 0)
                errno = EIO;
            return false;
        }
        Bytes.remove_prefix(static_cast<std::size_t>(Written));
    }
    return true;
}

// The file a chain of symlinks ends at, which need not exist yet (a dangling
// link names the file to create).
std::string FollowLinks(const std::string& Path) {
    std::string Current = Path;
    for (int Hop = 0; Hop < MaxLinkHops; ++Hop) {
        struct stat Info {};
        if (::lstat(Current.c_str(), &Info) != 0 || !S_ISLNK(Info.st_mode))
            return Current;
        std::string Target(static_cast<std::size_t>(PATH_MAX), '\0');
        const ssize_t Length = ::readlink(Current.c_str(), Target.data(), Target.size());
        if (Length < 0)
            ThrowWriteError(errno, Path);
        Target.resize(static_cast<std::size_t>(Length));
        const std::size_t Slash = Current.rfind('/');
        if (Target.front() != '/' && Slash != std::string::npos)
            Target = Current.substr(0, Slash + 1) + Target;
        Current = Target;
    }
    ThrowWriteError(ELOOP, Path);
}

void WriteDirectly(const std::string& Target, std::string_view Bytes, const std::string& Path) {
    const int File = ::open(Target.c_str(), O_WRONLY | O_CLOEXEC);
    if (File < 0)
        ThrowWriteError(errno, Path);
    bool Written = WriteAll(File, Bytes);
    int Error = errno;
    if (::close(File) != 0 && Written) {
        Written = false;
        Error = errno;
    }
    if (!Written)
        ThrowWriteError(Error, Path);
}

void ReplaceRegular(const std::string& Target, std::string_view Bytes, const std::string& Path,
                    const struct stat* Old) {
    // Unique per process and call, so two writers never share a scratch file.
    static std::atomic<unsigned> Serial{0};
    const std::string Scratch =
        Target + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(Serial.fetch_add(1));
    const int File = ::open(Scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (File < 0)
        ThrowWriteError(errno, Path);
    // Flushed before the rename: a crash must not leave an empty file in
    // place of a good one.
    bool Written = (Old == nullptr || ::fchmod(File, Old->st_mode & 07777) == 0) &&
                   WriteAll(File, Bytes) && ::fsync(File) == 0;
    int Error = errno;
    if (::close(File) != 0 && Written) {
        Written = false;
        Error = errno;
    }
    if (Written && ::rename(Scratch.c_str(), Target.c_str()) == 0)
        return;
    if (Written)
        Error = errno;
    ::unlink(Scratch.c_str());
    ThrowWriteError(Error, Path);
}

} // namespace

void WriteOutputFile(const std::string& Path, std::string_view Bytes) {
    if (Path == "-") {
        if (!WriteAll(STDOUT_FILENO, Bytes))
            ThrowWriteError(errno, "standard output");
        return;
    }
    const std::string Target = FollowLinks(Path);
    struct stat Info {};
    if (::stat(Target.c_str(), &Info) != 0) {
        if (errno != ENOENT)
            ThrowWriteError(errno, Path);
        ReplaceRegular(Target, Bytes, Path, nullptr);
    } else if (S_ISREG(Info.st_mode)) {
        ReplaceRegular(Target, Bytes, Path, &Info);
    } else if (S_ISDIR(Info.st_mode)) {
        ThrowWriteError(EISDIR, Path);
    } else {
        WriteDirectly(Target, Bytes, Path);
    }
}

} // namespace vireon
