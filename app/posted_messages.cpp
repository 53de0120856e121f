#include "posted_messages.h"

#include <QCoreApplication>

const QEvent::Type CPostedMessageEvent::kType =
    static_cast<QEvent::Type>(QEvent::registerEventType());

void CPostedMessageBridge::SetTarget(QObject* pTarget)
{
    std::lock_guard lock(m_mutex);
    m_pTarget = pTarget;
}

void CPostedMessageBridge::PostMessage(std::uint32_t nMessage, std::uint64_t wParam,
                                       std::int64_t lParam)
{
    // The lock keeps the target alive across the post: SetTarget(nullptr)
    // waits for a post under way, and Qt discards events still queued for an
    // object that is destroyed.
    std::lock_guard lock(m_mutex);
    if (m_pTarget != nullptr)
        QCoreApplication::postEvent(m_pTarget, new CPostedMessageEvent(nMessage, wParam, lParam));
}
