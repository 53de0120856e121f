// Carries the player's posted messages (WM_GRAPH_EVENT, WM_RENDERER_NOTIFY)
// from GStreamer's threads to the window's thread as queued Qt events, in
// posting order. Messages posted once the window has let go are dropped.
#pragma once

#include <QEvent>
#include <QObject>

#include <cstdint>
#include <mutex>

#include "notify_window.h"

class CPostedMessageEvent final : public QEvent {
public:
    static const QEvent::Type kType;

    CPostedMessageEvent(std::uint32_t nMessage, std::uint64_t wParam, std::int64_t lParam)
        : QEvent(kType), m_nMessage(nMessage), m_wParam(wParam), m_lParam(lParam)
    {
    }
    const std::uint32_t m_nMessage;
    const std::uint64_t m_wParam;
    const std::int64_t m_lParam;
};

class CPostedMessageBridge final : public INotifyWindow {
public:
    // Events go to pTarget from now on; nullptr drops them.
    void SetTarget(QObject* pTarget);
    void PostMessage(std::uint32_t nMessage, std::uint64_t wParam, std::int64_t lParam) override;

private:
    std::mutex m_mutex;
    QObject* m_pTarget = nullptr; // guarded by m_mutex
};
