// Raw byte file access through the C library, the same on both platforms once a file is
// open. Only regular files are opened: a FIFO would block the opener and a device would
// never end.
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "trl4/os.h"

namespace trl4::os {

struct File {
    std::FILE *stream;
    bool flushEachWrite;
};

namespace {

int g_lastError = 0;

File *wrap(std::FILE *stream, bool flushEachWrite = false) {
    if (stream == nullptr) {
        g_lastError = errno;
        return nullptr;
    }
    File *file = new (std::nothrow) File{stream, flushEachWrite};
    if (file == nullptr) {
        std::fclose(stream);
        g_lastError = ENOMEM;
    }
    return file;
}

#ifdef _WIN32

// The narrow C library opens ANSI names; a UTF-8 name goes through the wide call.
std::FILE *openUtf8(const char *path, const wchar_t *mode) {
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    if (length <= 0) {
        errno = EINVAL;
        return nullptr;
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide.data(), length);
    return _wfopen(wide.c_str(), mode);
}

// Opening a device or a pipe does not block on Windows; what it is shows once it is open.
std::FILE *regularOnly(std::FILE *stream) {
    if (stream == nullptr) return nullptr;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        std::fclose(stream);
        errno = EINVAL;
        return nullptr;
    }
    return stream;
}

File *openRegular(const char *path, const char *mode) {
    return wrap(regularOnly(std::fopen(path, mode)));
}

std::FILE *openAppending(const char *utf8Path) {
    return regularOnly(openUtf8(utf8Path, L"ab"));
}

File *openUtf8Regular(const char *utf8Path) {
    return wrap(regularOnly(openUtf8(utf8Path, L"rb")));
}

#else

// Opened without blocking (a FIFO without a reader or writer would wait for one), refused
// unless it is a regular file, then switched back to blocking reads and writes.
std::FILE *regularStream(const char *path, int flags, const char *mode) {
    const int fd = ::open(path, flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    struct stat st {};
    int reason = 0;
    if (::fstat(fd, &st) != 0) {
        reason = errno;
    } else if (S_ISDIR(st.st_mode)) {
        reason = EISDIR;
    } else if (!S_ISREG(st.st_mode)) {
        reason = EINVAL;
    } else if (const int status = ::fcntl(fd, F_GETFL);
               status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        reason = errno;
    }
    if (reason != 0) {
        ::close(fd);
        errno = reason;
        return nullptr;
    }
    std::FILE *stream = ::fdopen(fd, mode);
    if (stream == nullptr) ::close(fd);
    return stream;
}

File *openRegular(const char *path, const char *mode) {
    const bool writing = mode[1] == '+';
    return wrap(regularStream(path, writing ? O_RDWR : O_RDONLY, mode));
}

std::FILE *openAppending(const char *utf8Path) {
    return regularStream(utf8Path, O_WRONLY | O_APPEND | O_CREAT, "ab");
}

File *openUtf8Regular(const char *utf8Path) {
    return openRegular(utf8Path, "rb");
}

#endif

}  // namespace

int fileExists(const char *path) {
    switch (fileKind(path)) {
        case FileKind::Regular:
        case FileKind::Other:
            return 1;
        case FileKind::Missing:
        case FileKind::Directory:
            return 0;
        case FileKind::Error:
            break;
    }
    return -1;
}

File *openForReading(const char *path) {
    if (path == nullptr) return nullptr;
    return openRegular(path, "rb");
}

File *openUtf8ForReading(const char *utf8Path) {
    if (utf8Path == nullptr) return nullptr;
    return openUtf8Regular(utf8Path);
}

File *openForWriting(const char *path) {
    if (path == nullptr) return nullptr;
    // "r+b" writes in place: the file is neither created nor truncated.
    return openRegular(path, "r+b");
}

File *openForAppending(const char *utf8Path) {
    if (utf8Path == nullptr || *utf8Path == '\0') {
        g_lastError = ENOENT;
        return nullptr;
    }
    std::FILE *stream = openAppending(utf8Path);
    // Unbuffered: each write goes straight to the system, and bytes it refused are not kept
    // back to be offered again in front of the next message.
    if (stream != nullptr) std::setvbuf(stream, nullptr, _IONBF, 0);
    return wrap(stream, true);
}

const char *lastFileErrorText() {
    return std::strerror(g_lastError);
}

std::int64_t readFile(File *file, void *buffer, std::size_t size) {
    if (file == nullptr || (buffer == nullptr && size != 0)) return -1;
    const std::size_t got = std::fread(buffer, 1, size, file->stream);
    if (got < size && std::ferror(file->stream)) return -1;
    return static_cast<std::int64_t>(got);
}

bool writeFile(File *file, const void *buffer, std::size_t size) {
    if (file == nullptr || (buffer == nullptr && size != 0)) return false;
    errno = 0;
    bool ok = std::fwrite(buffer, 1, size, file->stream) == size;
    if (ok && file->flushEachWrite) ok = std::fflush(file->stream) == 0;
    if (!ok) {
        g_lastError = errno != 0 ? errno : EIO;
        std::clearerr(file->stream);
    }
    return ok;
}

bool closeFile(File *file) {
    if (file == nullptr) return false;
    errno = 0;
    const bool ok = std::fclose(file->stream) == 0;
    if (!ok) g_lastError = errno != 0 ? errno : EIO;
    delete file;
    return ok;
}

}  // namespace trl4::os
