// POSIX: the key wait reads one byte from the controlling terminal in non-canonical mode.
#include "platform.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

const std::size_t path_limit = PATH_MAX;

namespace {

// The terminal mode to put back. Only the wait and the signal handler below touch these.
int tty_fd = -1;
termios saved_mode;
struct sigaction previous_actions[NSIG];

void restore_mode() {
    tcsetattr(tty_fd, TCSANOW, &saved_mode);
}

// A signal that ends the process mid-wait must not leave the terminal without echo.
// SA_RESETHAND has put the default action back; the re-raised signal arrives on return.
void restore_and_reraise(int sig) {
    restore_mode();
    raise(sig);
}

// Signals whose default action is anything but ending the process, and those that cannot be
// caught.
bool leaves_the_process_running(int sig) {
    switch (sig) {
    case SIGKILL:
    case SIGSTOP:
    case SIGCHLD:
    case SIGCONT:
    case SIGURG:
    case SIGWINCH:
    case SIGTSTP:
    case SIGTTIN:
    case SIGTTOU:
        return true;
    default:
        return false;
    }
}

void catch_fatal_signals() {
    for (int sig = 1; sig < NSIG; ++sig) {
        if (leaves_the_process_running(sig)) continue;
        struct sigaction action {};
        action.sa_handler = restore_and_reraise;
        action.sa_flags = SA_RESETHAND;
        sigfillset(&action.sa_mask);
        // Numbers the C library keeps for itself fail here and are left alone.
        if (sigaction(sig, nullptr, &previous_actions[sig]) == 0 &&
            previous_actions[sig].sa_handler != SIG_IGN) // an ignored signal stays ignored
            sigaction(sig, &action, nullptr);
    }
}

void release_fatal_signals() {
    for (int sig = 1; sig < NSIG; ++sig)
        if (!leaves_the_process_running(sig)) sigaction(sig, &previous_actions[sig], nullptr);
}

void wait_on_terminal() {
    // A background job has nobody at the keyboard, and changing the mode would stop it.
    if (tcgetpgrp(tty_fd) != getpgrp() || tcgetattr(tty_fd, &saved_mode) != 0) return;
    termios raw = saved_mode;
    // Ctrl-C, Ctrl-Z, Ctrl-S and the like arrive as keys, as on the Windows console.
    raw.c_lflag &= ~(ICANON | ECHO | ISIG | IEXTEN);
    raw.c_iflag &= ~IXON;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    catch_fatal_signals();
    if (tcsetattr(tty_fd, TCSANOW, &raw) == 0) {
        char key;
        while (read(tty_fd, &key, 1) < 0 && errno == EINTR) {
        }
        restore_mode();
    }
    release_fatal_signals();
}

} // namespace

void console_wait_for_key() {
    // The terminal itself, not standard input, which may be a redirected script.
    tty_fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty_fd < 0) return; // no controlling terminal: nobody to press a key
    wait_on_terminal();
    close(tty_fd);
    tty_fd = -1;
}

long read_input(char *buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, buffer, size);
        if (got >= 0) return got;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            pollfd ready{STDIN_FILENO, POLLIN, 0};
            poll(&ready, 1, -1);
        } else if (errno != EINTR) {
            return -1;
        }
    }
}

long long seek_input(long long offset) {
    return lseek(STDIN_FILENO, static_cast<off_t>(offset), SEEK_CUR);
}

bool is_standard_input(const char *name) {
    struct stat input, named;
    return fstat(STDIN_FILENO, &input) == 0 && stat(name, &named) == 0 &&
           input.st_dev == named.st_dev && input.st_ino == named.st_ino;
}

void keep_standard_streams_open() {
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF)
            open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
}
