#include "in_process_channel.h"

void CInProcessSkypeChannel::SendText(const SkypeWindow& target, const std::string& text,
                                      DeliveryCallback onDelivered)
{
    HeldAnswer held{{target, text}, std::move(onDelivered)};
    m_deliveries.push_back(held.record);
    if (m_bHold)
        m_held.push_back(std::move(held));
    else
        Answer(held);
}

void CInProcessSkypeChannel::Answer(const HeldAnswer& held) const
{
    const bool bDelivered = m_answer ? m_answer(held.record) : !held.record.target.empty();
    if (held.onDelivered)
        held.onDelivered(bDelivered);
}

void CInProcessSkypeChannel::ReleaseAnswers()
{
    // An answer may send more lines; those wait for the next release.
    std::deque<HeldAnswer> answers;
    answers.swap(m_held);
    for (const HeldAnswer& held : answers)
        Answer(held);
}

std::uint32_t CInProcessSkypeChannel::ReceiveAttach(const SkypeWindow& client, std::uint32_t status)
{
    return m_inbox.onAttach ? m_inbox.onAttach(client, status) : 0;
}

bool CInProcessSkypeChannel::ReceiveText(const SkypeWindow& sender, const std::string& text)
{
    return m_inbox.onText && m_inbox.onText(sender, text);
}

void CInProcessSkypeChannel::ClearRecords()
{
    m_discovers.clear();
    m_deliveries.clear();
}
