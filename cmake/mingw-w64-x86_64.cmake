# Cross build for 64-bit Windows with Debian's MinGW-w64 (the -posix flavour,
# whose threads std::thread and std::jthread need). Programs the build runs
# itself (the strip image, the demo melodies) and the tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A Wine prefix of the build's own, made on first use; quiet, and without
# the .NET and browser add-ons a fresh prefix would offer to fetch.
find_program(EZGITAR_WINE wine REQUIRED)
set(EZGITAR_WINE_ENV WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env ${EZGITAR_WINE_ENV} ${EZGITAR_WINE})

# -O2 as the Linux build: at -O3 this GCC warns falsely of a vector insert
# overflowing, which -Werror would make fatal.
set(CMAKE_CXX_FLAGS_RELEASE_INIT "-O2 -DNDEBUG")

# One self-contained program: no MinGW runtime DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
