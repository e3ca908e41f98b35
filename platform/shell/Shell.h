#pragma once
// Hands a file to the desktop: "open" shows it in the program the desktop associates with its
// type, "print" sends it to the default printer. The result is not examined: a desktop that
// cannot do it shows nothing from the program.

#include <functional>
#include <string>

enum class ShellVerb { Open, Print };

// Hands the file at path (UTF-8) over and returns at once.
void ShellExecute(ShellVerb verb, const std::string& path);

// What ShellExecute does; tests put their own in place so that no viewer or print job starts.
using ShellHandOff = std::function<void(ShellVerb verb, const std::string& path)>;

// Replaces the hand-off for the object's lifetime.
class ScopedShellHandOff {
public:
    explicit ScopedShellHandOff(ShellHandOff handOff);
    ~ScopedShellHandOff();
    ScopedShellHandOff(const ScopedShellHandOff&) = delete;
    ScopedShellHandOff& operator=(const ScopedShellHandOff&) = delete;

private:
    ShellHandOff previous_;
};

// The desktop's own hand-off, which ShellExecute uses unless replaced.
void DesktopShellExecute(ShellVerb verb, const std::string& path);
