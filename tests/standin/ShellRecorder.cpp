// A program for the shell hand-off's tests to register for a file type: it appends the rest of
// its arguments, one a line in UTF-8, to the file its first argument names, and ends.

#include "platform/text/WideTextWin.h"

#include <fstream>
#include <windows.h>
// After <windows.h>, which it builds on.
#include <shellapi.h>

int main() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count < 2) {
        return 2;
    }
    std::ofstream record(arguments[1], std::ios::binary | std::ios::app);
    for (int i = 2; i < count; ++i) {
        record << Narrow(arguments[i]) << "\n";
    }
    LocalFree(arguments);
    return record ? 0 : 1;
}
