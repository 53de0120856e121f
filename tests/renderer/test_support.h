// Helpers shared by the renderer's tests: buffers and bounded waits, with
// the loopback client.
#pragma once

#include <chrono>
#include <vector>

#include "callfeed_renderer_register.h"
#include "tcp_server.h"
#include "voxreel/gst_handle.h"
#include "loopback_client.h"
#include "voxreel_test_support.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// GStreamer is ready, and the renderer registered, before any test runs.
inline const bool g_bGstReady = [] {
    gst_init(nullptr, nullptr);
    return GST_ELEMENT_REGISTER(callfeedrenderer, nullptr) != FALSE;
}();

using voxreel::test::WaitUntil;

inline CBufferPtr MakeBuffer(const std::vector<std::int16_t>& samples)
{
    return CBufferPtr(gst_buffer_new_memdup(samples.data(), samples.size() * 2));
}
