#pragma once
// The program directory and long-name look-up.

#include <string>

// The program's own directory as a long path, ending with the path separator.
extern std::string ProgramDir;

// Path with every component of three or more characters as the file system stores it.
std::string GetLongPath(const std::string& path);

// Sets ProgramDir from the running program's file.
void VexFilesStartup();
void VexFilesShutdown();
