// The callbacks through which the renderer's parts reach one another; the
// engine wires them together.
#pragma once

#include <cstdint>
#include <functional>

struct SendBlock;

// Posts a notification code with its value (the table in voxreel/ids.h);
// called from any of the renderer's threads.
using NotifyFn = std::function<void(int nCode, std::uint32_t nValue)>;
// Hands a full block, already marked not free, to the network.
using SubmitFn = std::function<void(SendBlock&)>;
// Takes one contiguous region of captured samples.
using FeedFn = std::function<void(const std::int16_t* pCapture, std::uint32_t cbLength)>;
