#pragma once
// The names of the temporary files that WriteFileInOnePiece writes beside its target, shared by
// both systems so that a leftover is told from any other file alike.

#include <cstddef>
#include <string>
#include <string_view>

// How many letters and digits make a temporary name unforeseeable.
inline constexpr size_t UnforeseeableLength = 16;
// The letters and digits it is made of.
inline constexpr std::string_view UnforeseeableLetters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

// "." + the start of targetName + "." + unforeseeable + ".tmp". Only the start of the target's
// name is kept, so that the temporary name stays short whatever the target's length: a name
// the system allows for the target is never too long for its temporary file.
std::string TemporaryNameFor(std::string_view targetName, std::string_view unforeseeable);

// True when entry is a name TemporaryNameFor gives for targetName.
bool IsTemporaryNameFor(std::string_view entry, std::string_view targetName);
