#pragma once
// Runs a piece of a test without root's right to ignore file permissions, so permission tests
// mean the same under root (as on the build machines) as for a practice's user.

#include <functional>
#include <string>

// The text body returns. Under root it runs in a child process as user and group "nobody"
// (65534); folders on the way to the files it touches must be searchable by others. Without root
// it runs as the user, who owns the test's files: a right it must lack, their owner lacks too.
std::string RunUnprivileged(const std::function<std::string()>& body);
