// The link's logic over the in-process channel with a set clock.
#include "in_process_channel.h"
#include "skype_connection.h"
#include "testkit/link_recorders.h"

#include <gtest/gtest.h>

#include <cstring>

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

    std::shared_ptr<CommandLog> Add(const std::string& command,
                                    CLoggingHandler::ResponseAction onResponse = {},
                                    bool bClaim = false)
    {
        auto pLog = std::make_shared<CommandLog>();
        m_connection.AddHandler(
            std::make_unique<CLoggingHandler>(command, pLog, std::move(onResponse), bClaim));
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
        std::size_t count = 0;
        for (const auto& record : m_channel.GetBroadcasts())
            if (record.message == m_connection.GetDiscoverMessage() && record.wParam == kOwn &&
                record.lParam == 0)
                ++count;
        return count;
    }

    CInProcessSkypeChannel m_channel;
    CRecordingMonitor m_monitor;
    CSkypeConnection m_connection{m_channel, &m_monitor};
};

class NotAttachedStatusTest : public SkypeConnectionTest,
                              public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(NotAttachedStatusTest, DiscoversOnEveryTickAndSendsNothing)
{
    auto pLog = Add("SEARCH ACTIVECALLS");
    m_connection.HandleAttach(kClient, GetParam());
    EXPECT_EQ(m_connection.GetAttachState(), static_cast<std::int32_t>(GetParam()));
    const std::size_t atOnce = DiscoverCount();
    for (int i = 0; i < 3; ++i)
        m_connection.Tick();
    EXPECT_EQ(DiscoverCount() - atOnce, 3u);
    EXPECT_TRUE(m_channel.GetDeliveries().empty());
    EXPECT_TRUE(m_connection.GetSkypeWindow().empty());
    EXPECT_EQ(m_monitor.m_nAttached, 0);
    // Only the "API available" announcement discovers at once.
    EXPECT_EQ(atOnce, GetParam() == 0x8001 ? 1u : 0u);
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
    const auto& deliveries = m_channel.GetDeliveries();
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_EQ(deliveries[0].bytes, Framed(pFirst->id, "SEARCH ACTIVECALLS"));
    EXPECT_EQ(deliveries[1].bytes, Framed(pSecond->id, "GET CALL 12 PARTNER_DISPNAME"));
    for (const auto& delivery : deliveries) {
        EXPECT_EQ(delivery.target, kClient);
        EXPECT_EQ(delivery.wParam, kOwn);
        EXPECT_EQ(delivery.dwData, 0u);
    }
    m_connection.Tick(); // sent ones are not sent again
    EXPECT_EQ(deliveries.size(), 2u);
}

struct ReplyCase {
    const char* pszText; // "{id}" stands for the handler's id
    bool bHandled;
    const char* pszResponse;
};

void PrintTo(const ReplyCase& reply, std::ostream* pOut)
{
    *pOut << '"' << reply.pszText << '"';
}

class ReplyParsingTest : public SkypeConnectionTest,
                         public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ReplyParsingTest, MatchesOnlyHashDigitsBlank)
{
    Attach();
    auto pLog = Add("SEARCH ACTIVECALLS");
    std::string text = GetParam().pszText;
    if (const auto at = text.find("{id}"); at != std::string::npos)
        text.replace(at, 4, std::to_string(pLog->id));
    EXPECT_EQ(Receive(text), 1u);
    if (GetParam().bHandled) {
        ASSERT_EQ(pLog->responses.size(), 1u);
        EXPECT_EQ(pLog->responses[0], GetParam().pszResponse);
        EXPECT_TRUE(pLog->bDeleted);
    } else {
        EXPECT_TRUE(pLog->responses.empty());
        EXPECT_EQ(m_connection.GetHandlerCount(), 1u);
    }
    EXPECT_TRUE(m_monitor.m_notifications.empty()); // "#..." never reaches the monitor
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReplyParsingTest,
    ::testing::Values(ReplyCase{"#{id} OK", true, "OK"},
                      ReplyCase{"#{id} CALLS 12, 34", true, "CALLS 12, 34"},
                      ReplyCase{"#{id} ", true, ""}, ReplyCase{"#{id}OK", false, ""},
                      ReplyCase{"#x OK", false, ""}, ReplyCase{"#", false, ""},
                      ReplyCase{"#{id}", false, ""}, ReplyCase{"# {id} OK", false, ""},
                      ReplyCase{"#+{id} OK", false, ""}, ReplyCase{"#99999 X", false, ""},
                      ReplyCase{"#4294967296{id} OK", false, ""}));

TEST_F(SkypeConnectionTest, NotificationsAreOfferedToHandlersThenTheMonitor)
{
    Attach();
    auto pFirst = Add("A");
    auto pClaiming = Add("B", {}, true);
    auto pLast = Add("C");
    Receive(std::string("CALL 3 DURATION 12\0tail", 23));
    EXPECT_EQ(pFirst->notifications, std::vector<std::string>{"CALL 3 DURATION 12"});
    EXPECT_EQ(pClaiming->notifications.size(), 1u);
    EXPECT_TRUE(pClaiming->bDeleted); // claimed and complete
    EXPECT_TRUE(pLast->notifications.empty());
    EXPECT_EQ(m_monitor.m_notifications, std::vector<std::string>{"CALL 3 DURATION 12"});

    Receive(std::string()); // an empty block is an empty notification line
    EXPECT_EQ(m_connection.HandleCopyData(kClient, nullptr), 1u);
    EXPECT_EQ(m_monitor.m_notifications.size(), 3u);
    EXPECT_EQ(m_monitor.m_notifications[1], "");
}

TEST_F(SkypeConnectionTest, OtherWindowsAreAnsweredZeroAndIgnored)
{
    auto pLog = Add("SEARCH ACTIVECALLS");
    EXPECT_EQ(Receive("CALL 1 STATUS FINISHED"), 0u); // no client window yet
    Attach();
    m_connection.Tick();
    EXPECT_EQ(Receive("#" + std::to_string(pLog->id) + " CALLS 9", "intruder"), 0u);
    EXPECT_EQ(Receive("CALL 1 STATUS FINISHED", "intruder"), 0u);
    EXPECT_TRUE(pLog->responses.empty());
    EXPECT_TRUE(m_monitor.m_notifications.empty());
}

struct TimeoutCase {
    std::uint32_t sentAt;
    std::uint32_t tickAt;
    bool bExpired;
};

void PrintTo(const TimeoutCase& timeout, std::ostream* pOut)
{
    *pOut << timeout.sentAt << " to " << timeout.tickAt;
}

class TimeoutTest : public SkypeConnectionTest,
                    public ::testing::WithParamInterface<TimeoutCase> {};

TEST_P(TimeoutTest, ExpiresStrictlyAfterFiveSecondsUnsigned)
{
    Attach();
    auto pLog = Add("SEARCH ACTIVECALLS");
    m_channel.SetTickCount(GetParam().sentAt);
    m_connection.Tick();
    m_channel.SetTickCount(GetParam().tickAt);
    m_connection.Tick();
    EXPECT_EQ(pLog->timeouts, GetParam().bExpired ? 1 : 0);
    EXPECT_EQ(pLog->bDeleted, GetParam().bExpired);
    if (GetParam().bExpired) {
        EXPECT_EQ(Receive("#" + std::to_string(pLog->id) + " LATE"), 1u); // dropped
        EXPECT_TRUE(pLog->responses.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Ticks, TimeoutTest,
                         ::testing::Values(TimeoutCase{1000, 6000, false},
                                           TimeoutCase{1000, 6001, true},
                                           TimeoutCase{0xFFFFF000u, 0xFFFFF000u + 5000u, false},
                                           TimeoutCase{0xFFFFF000u, 0xFFFFF000u + 5001u, true},
                                           TimeoutCase{0xFFFFFFFFu, 5000u, true}));

TEST_F(SkypeConnectionTest, SentCommandsDoNotExpireWhileDetached)
{
    Attach();
    auto pLog = Add("SEARCH ACTIVECALLS");
    m_connection.Tick();
    m_connection.HandleAttach(kClient, 2);
    m_channel.SetTickCount(60000);
    m_connection.Tick();
    EXPECT_EQ(pLog->timeouts, 0);
    m_connection.HandleAttach(kClient, 0);
    m_connection.Tick();
    EXPECT_EQ(pLog->timeouts, 1);
}

TEST_F(SkypeConnectionTest, FailedDeliveryDetachesAndTheCommandWaitsForTheNextAttach)
{
    Attach();
    auto pFirst = Add("A");
    auto pSecond = Add("B");
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

TEST_F(SkypeConnectionTest, ReplyHandlerMayIssueCommands)
{
    Attach();
    std::shared_ptr<CommandLog> pFollowUp;
    auto pLog = Add("SEARCH ACTIVECALLS", [&](const std::string&) {
        pFollowUp = Add("GET CALL 12 PARTNER_DISPNAME");
        m_connection.SendCommand(pFollowUp->id);
    });
    m_connection.Tick();
    Receive("#" + std::to_string(pLog->id) + " CALLS 12");
    EXPECT_TRUE(pLog->bDeleted);
    ASSERT_TRUE(pFollowUp);
    EXPECT_EQ(m_connection.GetHandlerCount(), 1u);
    EXPECT_EQ(m_channel.GetDeliveries().back().bytes,
              Framed(pFollowUp->id, "GET CALL 12 PARTNER_DISPNAME"));
}

TEST(SkypeConnectionLifetimeTest, DestructionDeletesHandlersAndDetachesOnlyWhenAttached)
{
    for (const bool bAttached : {false, true}) {
        CInProcessSkypeChannel channel;
        CRecordingMonitor monitor;
        auto pLog = std::make_shared<CommandLog>();
        {
            CSkypeConnection connection(channel, &monitor);
            connection.AddHandler(std::make_unique<CLoggingHandler>("A", pLog));
            if (bAttached)
                connection.HandleAttach(kClient, 0);
        }
        EXPECT_TRUE(pLog->bDeleted);
        EXPECT_EQ(pLog->timeouts, 0);
        EXPECT_EQ(monitor.m_nDetached, bAttached ? 1 : 0);
    }
}

TEST(SkypeConnectionLifetimeTest, FailedRegistrationLeavesTheLinkInert)
{
    for (const char* pszName : {kSkypeAttachMessageName, kSkypeDiscoverMessageName}) {
        CInProcessSkypeChannel channel;
        channel.FailRegistration(pszName);
        CSkypeConnection connection(channel, nullptr);
        EXPECT_FALSE(connection.HasMessageIds());
        connection.Tick();
        EXPECT_TRUE(channel.GetBroadcasts().empty());
    }
}

} // namespace
