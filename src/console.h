// The console key wait: the only code that differs between Windows and POSIX.
#pragma once

// Waits for one key press on the console keyboard, without echo and without Enter, even when
// standard input is redirected. Returns at once where there is no console to read.
void console_wait_for_key();
