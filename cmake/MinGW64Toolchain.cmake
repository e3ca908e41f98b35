# 64-bit Windows with Debian's MinGW-w64, posix thread model (the win32 model of GCC 12 has no
# std::thread or std::mutex). Qt and GoogleTest for Windows come from the folders listed in
# QUARN_WINDOWS_PREFIXES (cache variable or environment), which scripts/windows-deps prepares.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER /usr/bin/x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER /usr/bin/x86_64-w64-mingw32-windres)

if(NOT DEFINED QUARN_WINDOWS_PREFIXES AND DEFINED ENV{QUARN_WINDOWS_PREFIXES})
  set(QUARN_WINDOWS_PREFIXES "$ENV{QUARN_WINDOWS_PREFIXES}")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUARN_WINDOWS_PREFIXES QUARN_WINDOWS_STATIC_EXE)

# With the find-root modes ONLY, a prefix outside the find root is not searched.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${QUARN_WINDOWS_PREFIXES})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# moc, rcc and uic of the same Qt version come from Debian's qt6-base-dev-tools.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

# Our programs carry the MinGW runtime inside; only Qt's DLLs need it beside them.
if(NOT DEFINED QUARN_WINDOWS_STATIC_EXE OR QUARN_WINDOWS_STATIC_EXE)
  set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
endif()
