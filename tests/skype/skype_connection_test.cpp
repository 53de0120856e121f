// The link's logic over the in-process channel with a set clock: attaching,
// sending, reply matching, notifications, time-outs and lost deliveries.
#include "in_process_channel.h"
#include "skype_connection.h"
#include "testkit/link_recorders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

const SkypeWindow kOwn = "own";
const SkypeWindow kClient = "client";

std::string Framed(std::int32_t id, const std::string& command)
{
    return "#" + std::to_string(id) + " " + command;
}

class SkypeConnectionTest : public ::testing::Test {
protected:
    SkypeConnectionTest() { m_connection->SetOwnWindow(kOwn); }

    std::shared_ptr<CommandLog> Add(const std::string& command, bool bClaim = false)
    {
        auto pLog = std::make_shared<CommandLog>();
        m_connection->AddHandler(std::make_unique<CLoggingHandler>(command, pLog, bClaim));
        return pLog;
    }
    bool Receive(const std::string& text) { return m_channel.ReceiveText(kClient, text); }
    void Attach()
    {
        EXPECT_EQ(m_channel.ReceiveAttach(kClient, 0), 1u);
        m_channel.ClearRecords();
    }
    std::size_t DiscoverCount() const { return std::ranges::count(m_channel.GetDiscovers(), kOwn); }

    CInProcessSkypeChannel m_channel;
    // On the heap, so that a use after reset() is a use after free.
    std::unique_ptr<CSkypeConnection> m_connection = std::make_unique<CSkypeConnection>(m_channel);
    CLinkEventLog m_events{*m_connection};
};

// Until a client reports success the link discovers on every tick (and at once
// on "API available") and sends nothing; then waiting commands go out once, in order.
TEST_F(SkypeConnectionTest, SendsWaitingCommandsInOrderOnceAttached)
{
    auto pFirst = Add("SEARCH ACTIVECALLS");
    auto pSecond = Add("GET CALL 12 PARTNER_DISPNAME");
    for (const std::uint32_t status : {2u, 0x8001u}) { // any other status; "API available"
        SCOPED_TRACE(status);
        m_channel.ClearRecords();
        m_channel.ReceiveAttach(kClient, status);
        EXPECT_EQ(m_connection->GetAttachState(), static_cast<std::int32_t>(status));
        const std::size_t atOnce = status == 0x8001 ? 1u : 0u;
        EXPECT_EQ(DiscoverCount(), atOnce);
        for (int i = 0; i < 3; ++i)
            m_connection->Tick();
        EXPECT_EQ(DiscoverCount(), atOnce + 3);
        EXPECT_TRUE(m_channel.GetDeliveries().empty());
        EXPECT_TRUE(m_connection->GetSkypeWindow().empty());
    }
    Attach();
    EXPECT_EQ(m_events.m_nAttached, 1); // and not before
    EXPECT_TRUE(m_channel.GetDeliveries().empty());
    m_connection->Tick();
    m_connection->Tick();
    const auto& deliveries = m_channel.GetDeliveries();
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_EQ(deliveries[0].text, Framed(pFirst->id, "SEARCH ACTIVECALLS"));
    EXPECT_EQ(deliveries[1].text, Framed(pSecond->id, "GET CALL 12 PARTNER_DISPNAME"));
    EXPECT_EQ(deliveries[1].target, kClient);
}

// A reply is "#", the id's digits, a blank, then the response ("{id}" stands
// for the handler's id); anything else matches no handler. Other lines from
// the client are notifications: handlers see them until one claims the line,
// then the events. Lines from anyone else are refused in the test over the bus.
TEST_F(SkypeConnectionTest, RepliesAndNotificationsFromTheClient)
{
    auto pFirst = Add("A");
    auto pClaiming = Add("B", true);
    auto pLast = Add("C");
    EXPECT_FALSE(Receive("CALL 1 STATUS FINISHED")); // no client window yet
    Attach();
    std::shared_ptr<CommandLog> pUnmatched;
    for (std::string text : {"#{id} CALLS 12, 34", "#{id} ", "#{id}OK", "#x OK", "# {id} OK", "#",
                             "#{id}", "#99999 X", "#4294967296{id} OK"}) {
        const bool bMatches = text.starts_with("#{id} ");
        const std::string response = bMatches ? text.substr(6) : "";
        auto pLog = Add("SEARCH ACTIVECALLS");
        if (const auto at = text.find("{id}"); at != std::string::npos)
            text.replace(at, 4, std::to_string(pLog->id));
        EXPECT_TRUE(Receive(text));
        EXPECT_EQ(pLog->responses, bMatches ? std::vector{response} : std::vector<std::string>{})
            << text;
        EXPECT_EQ(pLog->bDeleted, bMatches) << text;
        pUnmatched = bMatches ? pUnmatched : pLog;
    }
    EXPECT_TRUE(m_events.m_notifications.empty()); // "#..." is never a notification

    Receive("CALL 3 DURATION 12");
    EXPECT_EQ(pFirst->notifications, std::vector<std::string>{"CALL 3 DURATION 12"});
    EXPECT_EQ(pClaiming->notifications.size(), 1u);
    EXPECT_TRUE(pClaiming->bDeleted); // claimed and complete
    EXPECT_TRUE(pLast->notifications.empty() && pUnmatched->notifications.empty());
    EXPECT_TRUE(Receive(std::string())); // an empty line is a notification too
    EXPECT_EQ(m_events.m_notifications, (std::vector<std::string>{"CALL 3 DURATION 12", ""}));
}

// A sent command expires strictly after five seconds, counted unsigned across
// the tick counter's wrap (here in the middle); a reply after that is dropped.
TEST_F(SkypeConnectionTest, CommandsExpireStrictlyAfterFiveSeconds)
{
    Attach();
    for (const auto& [sentAt, tickAt, bExpired] :
         {std::tuple{0xFFFFF000u, 0xFFFFF000u + 5000u, false},
          {0xFFFFF000u, 0xFFFFF000u + 5001u, true}}) {
        SCOPED_TRACE(testing::Message() << sentAt << " to " << tickAt);
        auto pLog = Add("SEARCH ACTIVECALLS");
        m_channel.SetTickCount(sentAt);
        m_connection->Tick();
        m_channel.SetTickCount(tickAt);
        m_connection->Tick();
        EXPECT_EQ(pLog->timeouts, bExpired ? 1 : 0);
        EXPECT_EQ(pLog->bDeleted, bExpired);
        EXPECT_TRUE(Receive(Framed(pLog->id, "LATE")));
        EXPECT_EQ(pLog->responses.size(), bExpired ? 0u : 1u);
    }
}

// Lines are answered after the link has moved on: a reply may come first,
// the link may be attached to another client by then, or be gone. A lost
// line detaches the link (only from the client it went to) and goes out
// again after the next attach; once the link is gone, nothing takes answers
// or what clients send.
TEST_F(SkypeConnectionTest, LateDeliveryAnswersDetachOnlyFromTheClientTheyWentTo)
{
    const struct {
        const char* pszCase;
        bool bReplyFirst;
        const char* pszReattachedTo; // nullptr: still attached to the client
        bool bDelivered;
        int nDetached;
        std::vector<SkypeWindow> resentTo; // on the next tick, attached again
    } cases[] = {
        {"reply, then delivered", true, nullptr, true, 0, {}},
        {"reply, then lost", true, nullptr, false, 1, {}},
        {"lost", false, nullptr, false, 1, {kClient}},
        {"lost after a new attach", false, "other", false, 0, {"other"}},
        {"delivered after a new attach", false, "other", true, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        Attach();
        m_events.m_nDetached = 0;
        m_channel.HoldAnswers(true);
        auto pLog = Add("SEARCH ACTIVECALLS");
        m_connection->Tick();
        if (c.bReplyFirst)
            Receive(Framed(pLog->id, "CALLS 12"));
        if (c.pszReattachedTo != nullptr)
            m_channel.ReceiveAttach(c.pszReattachedTo, 0);
        m_channel.SetDeliveryAnswer([&c](const auto&) { return c.bDelivered; });
        m_channel.ReleaseAnswers();
        EXPECT_EQ(m_events.m_nDetached, c.nDetached);
        EXPECT_EQ(m_connection->GetSkypeWindow().empty(), c.nDetached > 0);
        EXPECT_EQ(m_connection->GetAttachState(),
                  c.nDetached ? CSkypeConnection::kAttachNotAvailable : 0);
        EXPECT_EQ(pLog->responses.size(), c.bReplyFirst ? 1u : 0u);

        m_channel.HoldAnswers(false);
        m_channel.SetDeliveryAnswer({});
        m_channel.ClearRecords();
        m_connection->Tick();
        EXPECT_EQ(DiscoverCount(), c.nDetached ? 1u : 0u); // a detached link discovers
        if (c.nDetached)
            m_channel.ReceiveAttach(kClient, 0);
        m_connection->Tick();
        std::vector<SkypeWindow> resentTo;
        for (const auto& delivery : m_channel.GetDeliveries())
            resentTo.push_back(delivery.target);
        EXPECT_EQ(resentTo, c.resentTo);
        m_channel.SetTickCount(m_channel.GetTickCount() + 10000); // expires what is left
        m_connection->Tick();
    }
    // An answer after the link is gone would detach a link that no longer exists.
    Attach();
    m_channel.HoldAnswers(true);
    m_channel.SetDeliveryAnswer([](const auto&) { return false; });
    Add("SEARCH ACTIVECALLS");
    m_connection->Tick();
    m_connection.reset();
    m_channel.ReleaseAnswers();
    EXPECT_EQ(m_channel.ReceiveAttach(kClient, 0), 0u) << "a gone link still takes attaches";
    EXPECT_FALSE(Receive("CALL 1 STATUS FINISHED"));
}

} // namespace
