#include "platform/shell/Shell.h"

#include <utility>

namespace {

ShellHandOff& CurrentHandOff() {
    static ShellHandOff handOff = DesktopShellExecute;
    return handOff;
}

} // namespace

void ShellExecute(ShellVerb verb, const std::string& path) {
    CurrentHandOff()(verb, path);
}

ScopedShellHandOff::ScopedShellHandOff(ShellHandOff handOff)
    : previous_(std::exchange(CurrentHandOff(), std::move(handOff))) {}

ScopedShellHandOff::~ScopedShellHandOff() {
    CurrentHandOff() = std::move(previous_);
}
