// Helpers shared by the renderer's tests: buffers and bounded waits, with
// the loopback client.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "callfeed_renderer_register.h"
#include "tcp_server.h"
#include "voxreel/callfeed_control.h"
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

// The renderer's next notifications on pBus, up to n; fewer when they do not
// come within the timeout or another element message comes first. None names
// the renderer: a message dropped on one of its threads must not release it
// there.
inline std::vector<CallfeedNotification> NextNotifications(GstBus* pBus, std::size_t n,
                                                           GstClockTime timeout)
{
    std::vector<CallfeedNotification> notifications;
    while (notifications.size() < n) {
        CMessagePtr pMessage(gst_bus_timed_pop_filtered(pBus, timeout, GST_MESSAGE_ELEMENT));
        CallfeedNotification notification;
        if (!ParseCallfeedNotification(pMessage.get(), &notification))
            break;
        EXPECT_EQ(GST_MESSAGE_SRC(pMessage.get()), nullptr);
        notifications.push_back(notification);
    }
    return notifications;
}

inline CBufferPtr MakeBuffer(const std::vector<std::int16_t>& samples)
{
    return CBufferPtr(gst_buffer_new_memdup(samples.data(), samples.size() * 2));
}
