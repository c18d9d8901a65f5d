// The fixed text of the generated C program, before its commands and after them.
#pragma once

// Each writes its text at `text` and returns the end of it.
char *write_opening(char *text);
char *write_closing(char *text);
