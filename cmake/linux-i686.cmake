# The same sources as a 32-bit x86 Linux build, run under qemu-i386-static where the machine runs
# no 32-bit code: the tests see the scalar and SSE2 scans with 32-bit sizes, as the 32-bit
# Windows program has them.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386-static)
