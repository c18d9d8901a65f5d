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

void console_wait_for_key() {
    _getch();
}

long read_input(char *buffer, std::size_t size) {
    return _read(0, buffer, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}

// Standard input is read in text mode, which turns CR LF into LF as it goes, so an offset
// counted in the bytes read is not one in the file: the rest after the terminator is dropped.
long long seek_input(long long) {
    return -1;
}

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

bool is_standard_input(const char *name) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (GetFileType(input) != FILE_TYPE_DISK) return false; // a console or a pipe
    // No access asked for: only the file's identity is read, and nobody is locked out.
    const HANDLE named =
        CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (named == INVALID_HANDLE_VALUE) return false;
    file_id a, b;
    const bool known = identify(input, a) && identify(named, b);
    CloseHandle(named);
    // An unknown volume matches any: refusing a name by mistake loses nothing.
    return known && std::memcmp(a.index, b.index, sizeof a.index) == 0 &&
           (a.volume == b.volume || a.volume == 0 || b.volume == 0);
}

// The C runtime keeps descriptors 0 to 2 for the standard streams even when they are closed, so
// a file the program opens never takes their place.
void keep_standard_streams_open() {}
