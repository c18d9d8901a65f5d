// POSIX: the key wait on the controlling terminal in non-canonical mode, with the signals that
// may end or stop the program meanwhile; reading standard input and giving back what was not
// taken; the file names that a standard stream is open on; the standard streams at start-up.
#include "platform.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

const std::size_t path_limit = PATH_MAX;

namespace {

// Signals that a failed write raises. The program ignores them, so that the write fails and is
// reported; the key wait, after the last write, acts on them as the program was started to.
constexpr int write_signals[] = {SIGPIPE, SIGXFSZ};
struct sigaction actions_at_start[NSIG];

bool is_write_signal(int sig) {
    return std::find(std::begin(write_signals), std::end(write_signals), sig) !=
           std::end(write_signals);
}

// The terminal, its mode at start-up, the mode to put back and the key mode. Only
// take_console_mode, the wait and the signal handlers below touch these.
int tty_fd = -1;
bool mode_taken = false;
termios mode_at_start, saved_mode, key_mode;
struct sigaction actions_before_wait[NSIG];

bool in_foreground() {
    return tcgetpgrp(tty_fd) == getpgrp();
}

// In the background the terminal is the shell's, in a mode of its own: it is left alone.
void set_mode(const termios &mode) {
    if (in_foreground()) tcsetattr(tty_fd, TCSANOW, &mode);
}

// A signal that ends the process mid-wait must not leave the terminal without echo.
// SA_RESETHAND has put the default action back; the re-raised signal arrives on return.
void restore_and_reraise(int sig) {
    set_mode(saved_mode);
    raise(sig);
}

// A stop (kill -TSTP, or the terminal stopping a background reader) hands the terminal back as
// it was; once continued in the foreground, the wait takes its key mode again, as a shell keeps
// no mode of its jobs.
void stop_with_terminal_restored(int sig) {
    const int saved_errno = errno;
    set_mode(saved_mode);
    struct sigaction stop {
    }, ours;
    stop.sa_handler = SIG_DFL;
    sigaction(sig, &stop, &ours);
    sigset_t just_this;
    sigemptyset(&just_this);
    sigaddset(&just_this, sig);
    sigprocmask(SIG_UNBLOCK, &just_this, nullptr);
    raise(sig); // stops here; returns at once where the system drops the stop (no job control)
    sigprocmask(SIG_BLOCK, &just_this, nullptr);
    sigaction(sig, &ours, nullptr);
    set_mode(key_mode);
    errno = saved_errno;
}

// After a stop that cannot be caught (SIGSTOP).
void take_key_mode_again(int) {
    const int saved_errno = errno;
    set_mode(key_mode);
    errno = saved_errno;
}

using handler = void (*)(int);

// What the wait does on a signal; nullptr for those it leaves alone: the ones that cannot be
// caught, and those whose default action is to do nothing.
handler wait_handler(int sig) {
    switch (sig) {
    case SIGKILL:
    case SIGSTOP:
    case SIGCHLD:
    case SIGURG:
    case SIGWINCH:
        return nullptr;
    case SIGTSTP:
    case SIGTTIN:
    case SIGTTOU:
        return stop_with_terminal_restored;
    case SIGCONT:
        return take_key_mode_again;
    default: // the default action ends the process
        return restore_and_reraise;
    }
}

void catch_signals() {
    for (int sig = 1; sig < NSIG; ++sig) {
        const handler wanted = wait_handler(sig);
        // Numbers the C library keeps for itself fail here and are left alone.
        if (!wanted || sigaction(sig, nullptr, &actions_before_wait[sig]) != 0) continue;
        const struct sigaction &given =
            is_write_signal(sig) ? actions_at_start[sig] : actions_before_wait[sig];
        if (given.sa_handler == SIG_IGN) continue; // an ignored signal stays ignored
        struct sigaction action {};
        action.sa_handler = wanted;
        action.sa_flags = wanted == restore_and_reraise ? SA_RESETHAND : 0;
        sigfillset(&action.sa_mask);
        sigaction(sig, &action, nullptr);
    }
}

void release_signals() {
    for (int sig = 1; sig < NSIG; ++sig)
        if (wait_handler(sig)) sigaction(sig, &actions_before_wait[sig], nullptr);
}

bool same_mode(const termios &a, const termios &b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::equal(std::begin(a.c_cc), std::end(a.c_cc), b.c_cc);
}

// Ctrl-C, Ctrl-Z, Ctrl-S and the like arrive as keys, as on the Windows console.
termios key_mode_from(termios mode) {
    mode.c_lflag &= ~(ICANON | ECHO | ISIG | IEXTEN);
    mode.c_iflag &= ~IXON;
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    return mode;
}

// Another program waiting on the same terminal (started beside this one, as `a & b` in a script
// starts them) puts back its mode when its key comes, while this one still waits, which would
// then take no key before Enter. That mode, with line editing, is the one that program found at
// its start, when this one may have found the other's key mode instead: it is the mode to put
// back, and the key mode is taken again. A mode without line editing is that of a program still
// at work (a pager), left to it.
void take_key_mode_back_from_neighbour() {
    termios now;
    if (tcgetattr(tty_fd, &now) != 0 || !(now.c_lflag & ICANON)) return;
    sigset_t all, before;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &before); // the signal handlers read both modes
    saved_mode = now;
    key_mode = key_mode_from(now);
    sigprocmask(SIG_SETMASK, &before, nullptr);
    set_mode(key_mode);
}

// One key press: all the bytes the terminal sends for it (several for an arrow, a function key
// or a letter in UTF-8), so that none is left for the shell to take as typed. They come in one
// piece, or close behind each other over a slow line. The terminal is open without blocking, so
// that a key another waiting program takes first sends this one back to waiting. Whether a key
// was taken.
bool take_one_key() {
    char keys[64];
    for (pollfd key{tty_fd, POLLIN, 0};;) {
        const int ready = poll(&key, 1, 100);
        if (ready == 0) take_key_mode_back_from_neighbour();
        if (ready <= 0) {
            if (ready < 0 && errno != EINTR) return false;
            continue;
        }
        const ssize_t got = read(tty_fd, keys, sizeof keys);
        if (got > 0) break;
        if (got == 0 || (errno != EAGAIN && errno != EINTR)) return false; // hung up
    }
    pollfd more{tty_fd, POLLIN, 0};
    while (poll(&more, 1, 50) > 0 && read(tty_fd, keys, sizeof keys) > 0) {
    }
    return true;
}

void wait_on_terminal() {
    // A background job has nobody at the keyboard, and changing the mode would stop it.
    termios found;
    if (!in_foreground() || tcgetattr(tty_fd, &found) != 0) return;
    // The mode found is put back, but where it is the key mode of another program like this one
    // waiting on the same terminal, or left behind by one (killed by SIGKILL): then the mode at
    // start-up is. A mode of its own that a program still at work has set (a pager) is that
    // program's, which puts back its own when it ends.
    saved_mode =
        mode_taken && same_mode(found, key_mode_from(mode_at_start)) ? mode_at_start : found;
    key_mode = key_mode_from(saved_mode);
    catch_signals();
    int set;
    while ((set = tcsetattr(tty_fd, TCSANOW, &key_mode)) != 0 && errno == EINTR) {
    }
    if (set == 0) {
        const bool key = take_one_key();
        set_mode(saved_mode);
        // The shell's prompt starts on a line of its own, as on Windows, where the last text
        // went to this terminal. Written to the terminal itself: standard output gets no byte
        // more than the texts.
        if (key && tcgetsid(STDOUT_FILENO) == getsid(0)) (void)!write(tty_fd, "\n", 1);
    }
    release_signals();
}

// Whether standard output is a pipe or a socket. Whoever reads it shows the texts (a pager, or
// another program waiting on the terminal) and is the program the user looks at: a key wait
// here serves nobody, and would fight it for the terminal's mode, which both put back.
bool output_is_read_by_a_program() {
    struct stat out;
    return fstat(STDOUT_FILENO, &out) == 0 && (S_ISFIFO(out.st_mode) || S_ISSOCK(out.st_mode));
}

} // namespace

void take_console_mode() {
    if (output_is_read_by_a_program()) return;
    // The terminal itself, not standard input, which may be a redirected script.
    tty_fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    // A job started in the background finds the mode the shell edits its command line in; it
    // takes the mode when it waits, in the foreground, where the shell has put its own back.
    if (tty_fd >= 0 && in_foreground()) mode_taken = tcgetattr(tty_fd, &mode_at_start) == 0;
}

void console_wait_for_key() {
    if (tty_fd >= 0) wait_on_terminal(); // no controlling terminal: nobody to press a key
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

void give_back_input(std::size_t count) {
    lseek(STDIN_FILENO, -static_cast<off_t>(count), SEEK_CUR);
}

bool is_standard_stream(const char *name) {
    struct stat named;
    if (stat(name, &named) != 0) return false;
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        struct stat open;
        if (fstat(fd, &open) == 0 && !S_ISCHR(open.st_mode) && open.st_dev == named.st_dev &&
            open.st_ino == named.st_ino)
            return true;
    }
    return false;
}

void prepare_standard_streams() {
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF)
            open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    for (const int sig : write_signals)
        sigaction(sig, &ignore, &actions_at_start[sig]);
}
