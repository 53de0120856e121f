// Waiting in tests that need the Qt event loop: bounded polls on a condition.
#pragma once

#include <chrono>
#include <functional>

// Whether main() made the application object (testkit/test_main.cpp).
bool HasQtApp();

// Runs the event loop until the condition holds or the limit passes; returns
// the condition's last value.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds limit = std::chrono::seconds(15));
