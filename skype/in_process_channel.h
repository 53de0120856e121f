// A channel that stays inside the process: it records what the link
// broadcasts and sends, answers each line as told (at once, or when the test
// releases the held answers), hands the link what a test says a client sent,
// and reads a clock the test sets. For tests and fuzzing of the link's logic.
#pragma once

#include "skype_channel.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

class CInProcessSkypeChannel : public ISkypeChannel {
public:
    struct DeliveryRecord {
        SkypeWindow target;
        std::string text;
    };
    // Decides whether one line arrives; by default every line to a non-empty
    // window does.
    using DeliveryAnswer = std::function<bool(const DeliveryRecord&)>;

    bool IsUsable() const override { return !m_bUnusable; }
    void SetInbox(SkypeChannelInbox inbox) override { m_inbox = std::move(inbox); }
    void BroadcastDiscover(const SkypeWindow& own) override { m_discovers.push_back(own); }
    void SendText(const SkypeWindow& target, const std::string& text,
                  DeliveryCallback onDelivered) override;
    std::uint32_t GetTickCount() override { return m_dwTickCount; }

    void SetTickCount(std::uint32_t dwTickCount) { m_dwTickCount = dwTickCount; }
    void SetDeliveryAnswer(DeliveryAnswer answer) { m_answer = std::move(answer); }
    void SetUnusable() { m_bUnusable = true; }
    // While held, lines are recorded but answered only by ReleaseAnswers, in
    // the order they were sent, as a slow peer answers.
    void HoldAnswers(bool bHold) { m_bHold = bHold; }
    void ReleaseAnswers();

    // What a client sends: handed to the link as the channel's peer would.
    std::uint32_t ReceiveAttach(const SkypeWindow& client, std::uint32_t status);
    bool ReceiveText(const SkypeWindow& sender, const std::string& text);

    // The own window of every discover broadcast.
    const std::vector<SkypeWindow>& GetDiscovers() const { return m_discovers; }
    const std::vector<DeliveryRecord>& GetDeliveries() const { return m_deliveries; }
    void ClearRecords();

private:
    struct HeldAnswer {
        DeliveryRecord record;
        DeliveryCallback onDelivered;
    };
    void Answer(const HeldAnswer& held) const;

    SkypeChannelInbox m_inbox;
    bool m_bUnusable = false;
    bool m_bHold = false;
    std::uint32_t m_dwTickCount = 0;
    DeliveryAnswer m_answer;
    std::deque<HeldAnswer> m_held;
    std::vector<SkypeWindow> m_discovers;
    std::vector<DeliveryRecord> m_deliveries;
};
