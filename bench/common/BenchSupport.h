#pragma once
// What the benchmarks share: their clock and a home of their own, so that no run touches the
// user's settings or monitors. The benchmarks run on POSIX.

#include <chrono>
#include <string>

using BenchClock = std::chrono::steady_clock;

double Ms(BenchClock::duration d);

// A fresh folder under /tmp as HOME, with XDG config and runtime folders inside (mode 0700);
// the environment points at them from now on. Returns the folder.
std::string MakeBenchHome();
