// Where the renderer's notifications go: an opaque window value and a
// message number. Nothing is posted while the window is 0.
#pragma once

#include <cstdint>
#include <mutex>

#include "renderer_callbacks.h"

class CNotifier {
public:
    explicit CNotifier(PostFn post) : m_post(std::move(post)) {}

    void SetTarget(std::uint64_t nWindow, std::uint32_t nMessage)
    {
        std::lock_guard lock(m_mutex);
        m_nWindow = nWindow;
        m_nMessage = nMessage;
    }

    // Called from any of the renderer's threads.
    void Post(int nCode, std::uint32_t nValue) const
    {
        std::uint64_t nWindow;
        std::uint32_t nMessage;
        {
            std::lock_guard lock(m_mutex);
            nWindow = m_nWindow;
            nMessage = m_nMessage;
        }
        if (nWindow != 0)
            m_post(nWindow, nMessage, nCode, nValue);
    }

private:
    PostFn m_post;
    mutable std::mutex m_mutex;
    std::uint64_t m_nWindow = 0;  // guarded by m_mutex
    std::uint32_t m_nMessage = 0; // guarded by m_mutex
};
