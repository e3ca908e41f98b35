// Holds a file open without sharing, as a PDF viewer of the practice may, so that the
// end-to-end tests can see what the program does when its report is locked:
//   HoldFile FILE RELEASE_FILE
// prints "holding" once the file is held and lets go when RELEASE_FILE appears.

#include <cstdio>
#include <memory>
#include <type_traits>
#include <windows.h>
// After <windows.h>, which it builds on.
#include <shellapi.h>

namespace {

constexpr DWORD PollMs = 50;

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

struct ArgumentsFree {
    void operator()(wchar_t** arguments) const { LocalFree(arguments); }
};

bool Exists(const wchar_t* path) {
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

int main() {
    int count = 0;
    const std::unique_ptr<wchar_t*, ArgumentsFree> arguments(
        CommandLineToArgvW(GetCommandLineW(), &count));
    if (!arguments || count != 3) {
        std::fputs("usage: HoldFile FILE RELEASE_FILE\n", stderr);
        return 2;
    }
    const wchar_t* file = arguments.get()[1];
    const wchar_t* release = arguments.get()[2];
    const HANDLE opened =
        CreateFileW(file, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "HoldFile: cannot open the file (error %lu)\n", GetLastError());
        return 1;
    }
    const FileHandle held(opened);
    std::puts("holding");
    std::fflush(stdout);
    while (!Exists(release)) {
        Sleep(PollMs);
    }
    return 0;
}
