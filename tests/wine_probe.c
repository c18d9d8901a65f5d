/* Known to work wherever Wine can start a program of its kind: tells whether the Windows tests
   can run the build at hand, whatever state the program under test is in. */
#include <stdio.h>

int main(void) {
    puts("probe ran");
    return 0;
}
