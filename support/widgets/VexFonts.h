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

// Registers the fonts that lie beside the program, on every system, and lets the families the
// windows are designed with fall back to them where the system has none of its own: a practice
// PC or a plain Wine without Arial draws the windows as one with it, never in a serif stand-in.
// Once per program folder; returns the families registered. Needs the QGuiApplication and ProgramDir.
std::vector<std::string> RegisterProgramFonts();
