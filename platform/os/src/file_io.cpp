// Raw byte file access through the C library, the same on both platforms.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

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
#else
std::FILE *openUtf8(const char *path, const char *mode) {
    return std::fopen(path, mode);
}
#endif

}  // namespace

File *openForReading(const char *path) {
    if (path == nullptr) return nullptr;
    return wrap(std::fopen(path, "rb"));
}

File *openForWriting(const char *path) {
    if (path == nullptr) return nullptr;
    // "r+b" writes in place: the file is neither created nor truncated.
    return wrap(std::fopen(path, "r+b"));
}

File *openForAppending(const char *utf8Path) {
    if (utf8Path == nullptr || *utf8Path == '\0') {
        g_lastError = ENOENT;
        return nullptr;
    }
#ifdef _WIN32
    std::FILE *stream = openUtf8(utf8Path, L"ab");
#else
    std::FILE *stream = openUtf8(utf8Path, "ab");
#endif
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
