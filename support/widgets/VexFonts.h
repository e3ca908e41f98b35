#pragma once
// The Windows fonts the windows are designed with, from their metric-compatible replacements.

#include <string>
#include <vector>

// Folder the replacement font files are looked for in.
std::string WindowsFontReplacementDir();

// Registers Tahoma, MS Sans Serif and the other replacements found in the folder with the
// application's font database, once per process; returns the families now available from them.
// Needs the QGuiApplication. Missing files are skipped.
std::vector<std::string> RegisterWindowsFontReplacements();
