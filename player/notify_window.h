// The window that receives the player's posted messages. The main window
// implements it with events posted to its own thread; the player posts from
// GStreamer's threads, so PostMessage must be safe to call from any thread and
// must keep posting order.
#pragma once

#include <cstdint>

class INotifyWindow {
public:
    virtual ~INotifyWindow() = default;
    virtual void PostMessage(std::uint32_t nMessage, std::uint64_t wParam, std::int64_t lParam) = 0;
};
