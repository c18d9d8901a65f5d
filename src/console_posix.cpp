// POSIX key wait: one byte from the controlling terminal in non-canonical mode.
#include "console.h"

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <fcntl.h>
#include <iterator>
#include <termios.h>
#include <unistd.h>

namespace {

// The terminal mode to put back. Only the wait and the signal handler below touch these.
int tty_fd = -1;
termios saved_mode;

const int fatal_signals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};
struct sigaction previous_actions[std::size(fatal_signals)];

void restore_mode() {
    tcsetattr(tty_fd, TCSANOW, &saved_mode);
}

// A signal that ends the process mid-wait must not leave the terminal without echo.
// SA_RESETHAND has put the default action back; the re-raised signal arrives on return.
void restore_and_reraise(int sig) {
    restore_mode();
    raise(sig);
}

void catch_fatal_signals() {
    for (std::size_t i = 0; i < std::size(fatal_signals); ++i) {
        struct sigaction action {};
        action.sa_handler = restore_and_reraise;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(fatal_signals[i], nullptr, &previous_actions[i]);
        if (previous_actions[i].sa_handler != SIG_IGN) // an ignored signal stays ignored
            sigaction(fatal_signals[i], &action, nullptr);
    }
}

void release_fatal_signals() {
    for (std::size_t i = 0; i < std::size(fatal_signals); ++i)
        sigaction(fatal_signals[i], &previous_actions[i], nullptr);
}

} // namespace

void console_wait_for_key() {
    // The terminal itself, not standard input, which may be a redirected script.
    tty_fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty_fd < 0) return; // no controlling terminal: nobody to press a key
    if (tcgetattr(tty_fd, &saved_mode) == 0) {
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
    close(tty_fd);
    tty_fd = -1;
}
