#pragma once
// Waiting in tests for something another process or thread brings about.

#include <chrono>
#include <functional>

// Asks condition every few milliseconds until it holds (true) or the limit has passed (false).
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(20));
