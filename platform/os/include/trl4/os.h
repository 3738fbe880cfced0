// The few operating-system services the file-integrity code needs, one interface over a
// Win32 implementation and a POSIX one. Paths are narrow (ANSI on Windows, bytes on POSIX).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace trl4::os {

#ifdef _WIN32
inline constexpr char kDirSeparator = '\\';
inline constexpr char kSearchPathSeparator = ';';
#else
inline constexpr char kDirSeparator = '/';
inline constexpr char kSearchPathSeparator = ':';
#endif

// The machine-wide search path as stored (nothing expanded), zero-terminated in `buffer`.
// Windows: HKLM "SYSTEM\CurrentControlSet\Control\Session Manager\Environment", value "Path".
// POSIX: the PATH the machine gives every session: set in /etc/environment, then in the
// environment.d drop-ins of /etc, /run, /usr/local/lib, /usr/lib and /lib, applied in the
// order of their file names (a name in an earlier folder hides it in a later one), with
// ${PATH} and $PATH standing for the PATH set so far (environment_file.h). A drop-in that
// cannot be read is passed over.
// Returns false, leaving `buffer` empty, when there is none or it does not fit in `capacity`.
bool readMachineSearchPath(char *buffer, std::size_t capacity);

// The folder taken as the machine's root by the POSIX reader: its environment files are read
// there, and the absolute entries of the path it gives are moved inside it. Null restores
// the default: TRL4_SYSTEM_ROOT when set, else the real root. Tests point it at a temporary
// folder; a package's unpacked tree can be checked as installed. No effect on Windows.
void setMachineRoot(const char *root);

// 1 when a file (not a directory) exists at `path`, 0 when none does, negative on error.
int fileExists(const char *path);

// What a path names, without opening it (a FIFO or a device could block the opener).
enum class FileKind { Missing, Regular, Directory, Other, Error };
FileKind fileKind(const char *path);

// Size in bytes, or -1 when it cannot be queried.
std::int64_t fileSize(const char *path);

// Raw byte file access to regular files only: a directory, FIFO or device is refused, and
// the attempt never blocks. Opening for writing keeps the file's content: bytes not written
// stay as they were.
struct File;
File *openForReading(const char *path);
File *openForWriting(const char *path);
// Opens a file whose name is UTF-8 text for reading (on Windows the names above are ANSI).
File *openUtf8ForReading(const char *utf8Path);
// Opens a file whose name is UTF-8 text for appending, creating it when missing. Every
// writeFile on it goes to the file's end and reaches the operating system before it returns,
// so a process that dies afterwards loses nothing already written.
File *openForAppending(const char *utf8Path);
// The system's reason for the last failed open, write or close, as text.
const char *lastFileErrorText();
// Bytes read (0 at the end of the file), or -1 on error.
std::int64_t readFile(File *file, void *buffer, std::size_t size);
// True when every byte was written.
bool writeFile(File *file, const void *buffer, std::size_t size);
// True when the file closed cleanly (for a written file: its data reached the system).
bool closeFile(File *file);

// The folder of this user's settings of the program (UTF-8, no trailing separator), created
// when missing: TRL4_SETTINGS_DIR when set; else Windows %APPDATA%\p_trl4; POSIX
// $XDG_CONFIG_HOME/p_trl4, else ~/.config/p_trl4. Empty when there is none or it cannot be
// made.
std::string userSettingsDirectory();

// Replaces the file's whole content at once: a reader, or a crash, sees the old content or
// the new one, never a part. False, with lastFileErrorText() set, when it could not.
bool replaceFileContent(const char *utf8Path, const std::string &content);

// The whole content of a regular file (at most maxBytes); false when it cannot be read or is
// larger.
bool readWholeFile(const char *utf8Path, std::string &content, std::size_t maxBytes);

// Hands the file to the desktop's program for it (xdg-open; on Windows the shell's default)
// and returns at once, without waiting for that program. False when it could not be handed.
bool openDocument(const char *utf8Path);

struct LocalTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The local time now as ISO 8601 with the offset from UTC ("2026-12-06T09:05:07+03:00");
// empty when the clock cannot be read.
std::string localTimeIso8601();

// The local time now; false when the clock cannot be read.
bool localTimeNow(LocalTime &out);

// The file's last-write time in local calendar fields; false when it cannot be read.
bool lastWriteLocalTime(const char *path, LocalTime &out);

// The file's FileVersion text, cut to `capacity` - 1 bytes; false when it has none. The
// version resource of its first translation (Windows: through the system first) or the
// version note of an ELF file, on either platform, so each identifies the other's files.
bool fileVersion(const char *path, char *out, std::size_t capacity);

}  // namespace trl4::os
