#pragma once
// Runs one of the built tools (build/bin) as its own process, with the test's environment.
// Its output and errors come with lines ending in "\n" on every system.

#include <string>
#include <vector>

struct ToolResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// input is the tool's standard input; it ends there.
ToolResult RunTool(const std::string& tool, const std::vector<std::string>& args,
                   const std::string& input = "");
