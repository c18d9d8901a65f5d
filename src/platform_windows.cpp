// Windows: the key wait is the runtime's console key read, which ignores redirected standard
// input.

// Declares FileIdInfo; the program still runs on older Windows, where it is looked up in vain.
#define _WIN32_WINNT 0x0602
#include "platform.h"

#include <algorithm>
#include <climits>
#include <conio.h>
#include <cstring>
#include <io.h>
#include <windows.h>

const std::size_t path_limit = 32767;

// The runtime's key read takes the console's mode and puts it back itself.
void take_console_mode() {}

void console_wait_for_key() {
    _getch();
}

long read_input(char *buffer, std::size_t size) {
    return _read(0, buffer, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}

// Standard input is read in text mode, which turns CR LF into LF as it goes, so an offset
// counted in the bytes read is not one in the file: the rest after the terminator is dropped.
void give_back_input(std::size_t) {}

namespace {

// A file's identity: its volume's serial number (0 where unknown) and its index there.
struct file_id {
    ULONGLONG volume;
    unsigned char index[16];
};

// GetFileInformationByHandle works on every Windows, but Wine's fails for a file handed over
// as standard input; there FileIdInfo (Windows 8 and later, so looked up rather than imported)
// still gives the index, if not the volume.
bool identify(HANDLE file, file_id &id) {
    id = {};
    BY_HANDLE_FILE_INFORMATION by_handle;
    if (GetFileInformationByHandle(file, &by_handle)) {
        const ULONGLONG index = ULONGLONG(by_handle.nFileIndexHigh) << 32 | by_handle.nFileIndexLow;
        id.volume = by_handle.dwVolumeSerialNumber;
        std::memcpy(id.index, &index, sizeof index);
        return true;
    }
    using query = BOOL(WINAPI *)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
    const auto by_class = reinterpret_cast<query>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFileInformationByHandleEx")));
    FILE_ID_INFO by_id;
    if (!by_class || !by_class(file, FileIdInfo, &by_id, sizeof by_id)) return false;
    id.volume = by_id.VolumeSerialNumber;
    std::memcpy(id.index, by_id.FileId.Identifier, sizeof id.index);
    return true;
}

} // namespace

bool is_standard_stream(const char *name) {
    // No access asked for: only the file's identity is read, and nobody is locked out.
    const HANDLE named =
        CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (named == INVALID_HANDLE_VALUE) return false;
    file_id id;
    bool open_there = false;
    if (identify(named, id)) {
        for (const DWORD stream : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
            const HANDLE open = GetStdHandle(stream);
            file_id open_id;
            // Only a file on disk: a console, a pipe or NUL takes any text without harm.
            if (GetFileType(open) != FILE_TYPE_DISK || !identify(open, open_id)) continue;
            // An unknown volume matches any: refusing a name by mistake loses nothing.
            open_there = open_there ||
                         (std::memcmp(id.index, open_id.index, sizeof id.index) == 0 &&
                          (id.volume == open_id.volume || id.volume == 0 || open_id.volume == 0));
        }
    }
    CloseHandle(named);
    return open_there;
}

// The C runtime keeps descriptors 0 to 2 for the standard streams even when they are closed, so
// a file the program opens never takes their place; a write to a closed pipe fails without a
// signal, and there is no file size limit.
void prepare_standard_streams() {}
