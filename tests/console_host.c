/* Test helper: runs a console program on a pseudo console of its own, with no terminal and no
   window, and presses one key on that console for each byte written to this helper's standard
   input (a carriage return is Enter). Exits with the program's exit status.

   Usage: console_host PROGRAM STDIN_FILE STDOUT_FILE
   The program's standard input is read from STDIN_FILE and its standard output and error go to
   STDOUT_FILE, so the only way to reach it through the console is the keyboard. */
#define NTDDI_VERSION 0x0A000006 /* Windows 10 1809, which brought pseudo consoles */
#define _WIN32_WINNT 0x0A00
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

static HANDLE keyboard; /* the console's input: bytes here become key presses */

static void fail(const char *what) {
    printf("console_host: %s failed (error %lu)\n", what, GetLastError());
    exit(100);
}

/* The console writes its screen here; it must be read, or the console would stall. */
static DWORD WINAPI discard_screen(LPVOID screen) {
    char buffer[4096];
    DWORD n;
    while (ReadFile(screen, buffer, sizeof buffer, &n, NULL) && n > 0) {
    }
    return 0;
}

static DWORD WINAPI press_keys(LPVOID unused) {
    char key;
    DWORD n;
    (void)unused;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &key, 1, &n, NULL) && n == 1)
        WriteFile(keyboard, &key, 1, &n, NULL);
    return 0;
}

static HANDLE open_inheritable(const char *path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE file = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              disposition, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) fail(path);
    return file;
}

int main(int argc, char **argv) {
    HANDLE console_in, screen, screen_out;
    HPCON console;
    COORD size = {80, 25};
    STARTUPINFOEXA start;
    SIZE_T list_size = 0;
    PROCESS_INFORMATION child;
    DWORD status;

    if (argc != 4) {
        printf("usage: console_host PROGRAM STDIN_FILE STDOUT_FILE\n");
        return 100;
    }
    if (!CreatePipe(&console_in, &keyboard, NULL, 0) || !CreatePipe(&screen, &screen_out, NULL, 0))
        fail("CreatePipe");
    if (FAILED(CreatePseudoConsole(size, console_in, screen_out, 0, &console)))
        fail("CreatePseudoConsole");
    CloseHandle(console_in);
    CloseHandle(screen_out);
    CreateThread(NULL, 0, discard_screen, screen, 0, NULL);

    ZeroMemory(&start, sizeof start);
    start.StartupInfo.cb = sizeof start;
    start.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    start.StartupInfo.hStdInput = open_inheritable(argv[2], GENERIC_READ, OPEN_EXISTING);
    start.StartupInfo.hStdOutput = open_inheritable(argv[3], GENERIC_WRITE, CREATE_ALWAYS);
    start.StartupInfo.hStdError = start.StartupInfo.hStdOutput;
    InitializeProcThreadAttributeList(NULL, 1, 0, &list_size);
    start.lpAttributeList = malloc(list_size);
    if (!InitializeProcThreadAttributeList(start.lpAttributeList, 1, 0, &list_size) ||
        !UpdateProcThreadAttribute(start.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_PSEUDOCONSOLE,
                                   console, sizeof console, NULL, NULL))
        fail("the pseudo console attribute");
    if (!CreateProcessA(argv[1], NULL, NULL, NULL, TRUE, EXTENDED_STARTUPINFO_PRESENT, NULL, NULL,
                        &start.StartupInfo, &child))
        fail("CreateProcess");
    CloseHandle(start.StartupInfo.hStdInput);
    CloseHandle(start.StartupInfo.hStdOutput);

    CreateThread(NULL, 0, press_keys, NULL, 0, NULL);
    WaitForSingleObject(child.hProcess, INFINITE);
    GetExitCodeProcess(child.hProcess, &status);
    ClosePseudoConsole(console);
    return (int)status;
}
