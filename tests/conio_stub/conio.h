/* Stand-in for the DOS console header, for compiling generated programs on the build host.
   Instead of running each command, the program prints it followed by a NUL byte. */
#ifndef CONIO_STUB_H
#define CONIO_STUB_H
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int record_command(const char *command) {
    fwrite(command, 1, strlen(command) + 1, stdout);
    return 0;
}
#define system record_command

static int getch(void) { return 0; }

#endif
