#include "platform.h"
#include "standard_io.h"

#include <new>

int main() try {
    const dialogue_io io = standard_io();
    // Before any conversion: programs started beside this one start as it does, long before
    // any of them waits for a key and changes the console's mode.
    take_console_mode();
    return run_conversion(io);
} catch (const std::bad_alloc &) {
    return 1;
}
