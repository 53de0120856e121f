// The link's logic over the in-process channel with a set clock.
#include "in_process_channel.h"
#include "skype_connection.h"
#include "testkit/link_recorders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <tuple>

namespace {

const SkypeWindow kOwn = "own";
const SkypeWindow kClient = "client";

std::string Framed(std::int32_t id, const std::string& command)
{
    return "#" + std::to_string(id) + " " + command + std::string(1, '\0');
}

class SkypeConnectionTest : public ::testing::Test {
protected:
    SkypeConnectionTest() { m_connection.SetOwnWindow(kOwn); }

    std::shared_ptr<CommandLog> Add(const std::string& command, bool bClaim = false)
    {
        auto pLog = std::make_shared<CommandLog>();
        m_connection.AddHandler(std::make_unique<CLoggingHandler>(command, pLog, nullptr, bClaim));
        return pLog;
    }

    std::uint32_t Receive(const std::string& bytes, const SkypeWindow& sender = kClient)
    {
        const CopyDataBlock block{0, static_cast<std::uint32_t>(bytes.size()), bytes.data()};
        return m_connection.HandleCopyData(sender, &block);
    }

    void Attach()
    {
        m_connection.HandleAttach(kClient, 0);
        m_channel.ClearRecords();
    }

    std::size_t DiscoverCount() const
    {
        return std::ranges::count_if(m_channel.GetBroadcasts(), [&](const auto& record) {
            return record.message == m_connection.GetDiscoverMessage() && record.wParam == kOwn &&
                   record.lParam == 0;
        });
    }

    CInProcessSkypeChannel m_channel;
    CRecordingMonitor m_monitor;
    CSkypeConnection m_connection{m_channel, &m_monitor};
};

class NotAttachedStatusTest : public SkypeConnectionTest,
                              public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(NotAttachedStatusTest, DiscoversOnEveryTickAndSendsNothing)
{
    Add("SEARCH ACTIVECALLS");
    m_connection.HandleAttach(kClient, GetParam());
    EXPECT_EQ(m_connection.GetAttachState(), static_cast<std::int32_t>(GetParam()));
    // Only the "API available" announcement discovers at once.
    EXPECT_EQ(DiscoverCount(), GetParam() == 0x8001 ? 1u : 0u);
    const std::size_t atOnce = DiscoverCount();
    for (int i = 0; i < 3; ++i)
        m_connection.Tick();
    EXPECT_EQ(DiscoverCount() - atOnce, 3u);
    EXPECT_TRUE(m_channel.GetDeliveries().empty());
    EXPECT_TRUE(m_connection.GetSkypeWindow().empty());
    EXPECT_EQ(m_monitor.m_nAttached, 0);
}

INSTANTIATE_TEST_SUITE_P(Statuses, NotAttachedStatusTest,
                         ::testing::Values(1u, 2u, 3u, 0x8001u, 42u));

TEST_F(SkypeConnectionTest, HandlersWaitingBeforeAttachGoOutInOrderOnFirstTick)
{
    auto pFirst = Add("SEARCH ACTIVECALLS");
    auto pSecond = Add("GET CALL 12 PARTNER_DISPNAME");
    EXPECT_EQ(pSecond->id, pFirst->id + 1); // one process-wide counter
    m_connection.Tick();
    EXPECT_EQ(m_connection.HandleAttach(kClient, 0), 1u);
    EXPECT_EQ(m_monitor.m_nAttached, 1);
    EXPECT_TRUE(m_channel.GetDeliveries().empty());

    m_connection.Tick();
    m_connection.Tick(); // sent ones are not sent again
    const auto& deliveries = m_channel.GetDeliveries();
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_EQ(deliveries[0].bytes, Framed(pFirst->id, "SEARCH ACTIVECALLS"));
    EXPECT_EQ(deliveries[1].bytes, Framed(pSecond->id, "GET CALL 12 PARTNER_DISPNAME"));
    EXPECT_EQ(deliveries[1].target, kClient);
}

// A reply text ("{id}" stands for the handler's id) and the response it
// gives, or none when it matches no handler. Strings, so that the test names
// show the texts.
using ReplyCase = std::pair<std::string, std::optional<std::string>>;
class ReplyParsingTest : public SkypeConnectionTest,
                         public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ReplyParsingTest, MatchesOnlyHashDigitsBlank)
{
    Attach();
    auto pLog = Add("SEARCH ACTIVECALLS");
    std::string text = GetParam().first;
    if (const auto at = text.find("{id}"); at != std::string::npos)
        text.replace(at, 4, std::to_string(pLog->id));
    EXPECT_EQ(Receive(text), 1u);
    if (GetParam().second) {
        EXPECT_EQ(pLog->responses, std::vector<std::string>{*GetParam().second});
        EXPECT_TRUE(pLog->bDeleted);
    } else {
        EXPECT_TRUE(pLog->responses.empty());
        EXPECT_EQ(m_connection.GetHandlerCount(), 1u);
    }
    EXPECT_TRUE(m_monitor.m_notifications.empty()); // "#..." never reaches the monitor
}

INSTANTIATE_TEST_SUITE_P(Texts, ReplyParsingTest,
                         ::testing::Values(ReplyCase("#{id} OK", "OK"),
                                           ReplyCase("#{id} CALLS 12, 34", "CALLS 12, 34"),
                                           ReplyCase("#{id} ", ""), ReplyCase("#{id}OK", {}),
                                           ReplyCase("#x OK", {}), ReplyCase("#", {}),
                                           ReplyCase("#{id}", {}), ReplyCase("# {id} OK", {}),
                                           ReplyCase("#+{id} OK", {}), ReplyCase("#99999 X", {}),
                                           ReplyCase("#4294967296{id} OK", {})));

TEST_F(SkypeConnectionTest, NotificationsFromTheClientGoToHandlersThenTheMonitor)
{
    auto pFirst = Add("A");
    auto pClaiming = Add("B", true);
    auto pLast = Add("C");
    EXPECT_EQ(Receive("CALL 1 STATUS FINISHED"), 0u); // no client window yet
    Attach();
    EXPECT_EQ(Receive("CALL 1 STATUS FINISHED", "intruder"), 0u);
    EXPECT_EQ(Receive(Framed(pFirst->id, "CALLS 9"), "intruder"), 0u);
    EXPECT_TRUE(pFirst->responses.empty() && pFirst->notifications.empty());

    Receive(std::string("CALL 3 DURATION 12\0tail", 23));
    EXPECT_EQ(pFirst->notifications, std::vector<std::string>{"CALL 3 DURATION 12"});
    EXPECT_EQ(pClaiming->notifications.size(), 1u);
    EXPECT_TRUE(pClaiming->bDeleted); // claimed and complete
    EXPECT_TRUE(pLast->notifications.empty());
    Receive(std::string()); // an empty block is an empty notification line
    EXPECT_EQ(m_connection.HandleCopyData(kClient, nullptr), 1u);
    EXPECT_EQ(m_monitor.m_notifications, (std::vector<std::string>{"CALL 3 DURATION 12", "", ""}));
}

// Sent at, ticked at, expired.
class TimeoutTest
    : public SkypeConnectionTest,
      public ::testing::WithParamInterface<std::tuple<std::uint32_t, std::uint32_t, bool>> {};

TEST_P(TimeoutTest, ExpiresStrictlyAfterFiveSecondsUnsigned)
{
    const auto [sentAt, tickAt, bExpired] = GetParam();
    Attach();
    auto pLog = Add("SEARCH ACTIVECALLS");
    m_channel.SetTickCount(sentAt);
    m_connection.Tick();
    m_channel.SetTickCount(tickAt);
    m_connection.Tick();
    EXPECT_EQ(pLog->timeouts, bExpired ? 1 : 0);
    EXPECT_EQ(pLog->bDeleted, bExpired);
    EXPECT_EQ(Receive("#" + std::to_string(pLog->id) + " LATE"), 1u); // dropped when expired
    EXPECT_EQ(pLog->responses.size(), bExpired ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Ticks, TimeoutTest,
                         ::testing::Values(std::tuple(1000u, 6000u, false),
                                           std::tuple(1000u, 6001u, true),
                                           std::tuple(0xFFFFF000u, 0xFFFFF000u + 5000u, false),
                                           std::tuple(0xFFFFF000u, 0xFFFFF000u + 5001u, true),
                                           std::tuple(0xFFFFFFFFu, 5000u, true)));

TEST_F(SkypeConnectionTest, FailedDeliveryDetachesAndTheCommandWaitsForTheNextAttach)
{
    Attach();
    auto pFirst = Add("A");
    Add("B");
    m_channel.SetDeliveryAnswer([](const auto&) { return 0u; });
    m_connection.Tick();
    EXPECT_EQ(m_connection.GetAttachState(), 3);
    EXPECT_TRUE(m_connection.GetSkypeWindow().empty());
    EXPECT_EQ(m_monitor.m_nDetached, 2); // each failed send of the walk reports it
    m_connection.Tick();
    EXPECT_EQ(DiscoverCount(), 1u);

    m_channel.SetDeliveryAnswer({});
    m_channel.ClearRecords();
    m_connection.HandleAttach(kClient, 0);
    m_connection.Tick();
    ASSERT_EQ(m_channel.GetDeliveries().size(), 2u);
    EXPECT_EQ(m_channel.GetDeliveries()[0].bytes, Framed(pFirst->id, "A"));
}

} // namespace
