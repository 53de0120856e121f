// Helpers shared by the renderer's tests: buffers, notifications and bounded
// waits, with the call's mix rig (which readies GStreamer) and its loopback client.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "call_mix_rig.h"
#include "tcp_server.h"
#include "voxreel/callfeed_control.h"
#include "voxreel/gst_handle.h"
#include "voxreel_test_support.h"

using namespace std::chrono_literals;

using voxreel::test::WaitUntil;

// The codes of the renderer's next notifications on pBus, up to n (their
// values to *pValues); fewer when they do not come within the timeout. None
// may name the renderer: a message dropped on one of its threads must not
// release it there.
inline std::vector<int> NextCodes(GstBus* pBus, std::size_t n,
                                  GstClockTime timeout = 10 * GST_SECOND,
                                  std::vector<std::uint32_t>* pValues = nullptr)
{
    std::vector<int> codes;
    CallfeedNotification notification;
    while (codes.size() < n) {
        CMessagePtr pMessage(gst_bus_timed_pop_filtered(pBus, timeout, GST_MESSAGE_ELEMENT));
        if (!ParseCallfeedNotification(pMessage.get(), &notification))
            break;
        EXPECT_EQ(GST_MESSAGE_SRC(pMessage.get()), nullptr);
        EXPECT_TRUE(notification.m_nCode != NOTIFY_ERROR ||
                    FAILED(static_cast<HRESULT>(notification.m_nValue)))
            << "an error posted with its failure";
        codes.push_back(notification.m_nCode);
        if (pValues != nullptr)
            pValues->push_back(notification.m_nValue);
    }
    return codes;
}

inline CBufferPtr MakeBuffer(const std::vector<std::int16_t>& samples)
{
    return CBufferPtr(gst_buffer_new_memdup(samples.data(), samples.size() * 2));
}
