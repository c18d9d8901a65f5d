// Windows key wait: the runtime's console key read, which ignores redirected standard input.
#include "console.h"

#include <conio.h>

void console_wait_for_key() {
    _getch();
}
