// The link's logic over the in-process channel with a set clock: the
// channel hands it what a client sends and answers its lines at once or when
// a test releases them.
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
    return "#" + std::to_string(id) + " " + command;
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

    bool Receive(const std::string& text, const SkypeWindow& sender = kClient)
    {
        return m_channel.ReceiveText(sender, text);
    }

    void Attach(const SkypeWindow& client = kClient)
    {
        EXPECT_EQ(m_channel.ReceiveAttach(client, 0), 1u);
        m_channel.ClearRecords();
    }

    std::size_t DiscoverCount() const { return std::ranges::count(m_channel.GetDiscovers(), kOwn); }

    CInProcessSkypeChannel m_channel;
    CSkypeConnection m_connection{m_channel};
    CLinkEventLog m_events{m_connection};
};

class NotAttachedStatusTest : public SkypeConnectionTest,
                              public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(NotAttachedStatusTest, DiscoversOnEveryTickAndSendsNothing)
{
    Add("SEARCH ACTIVECALLS");
    m_channel.ReceiveAttach(kClient, GetParam());
    EXPECT_EQ(m_connection.GetAttachState(), static_cast<std::int32_t>(GetParam()));
    // Only the "API available" announcement discovers at once.
    EXPECT_EQ(DiscoverCount(), GetParam() == 0x8001 ? 1u : 0u);
    const std::size_t atOnce = DiscoverCount();
    for (int i = 0; i < 3; ++i)
        m_connection.Tick();
    EXPECT_EQ(DiscoverCount() - atOnce, 3u);
    EXPECT_TRUE(m_channel.GetDeliveries().empty());
    EXPECT_TRUE(m_connection.GetSkypeWindow().empty());
    EXPECT_EQ(m_events.m_nAttached, 0);
}

INSTANTIATE_TEST_SUITE_P(Statuses, NotAttachedStatusTest,
                         ::testing::Values(1u, 2u, 3u, 0x8001u, 42u));

TEST_F(SkypeConnectionTest, HandlersWaitingBeforeAttachGoOutInOrderOnFirstTick)
{
    auto pFirst = Add("SEARCH ACTIVECALLS");
    auto pSecond = Add("GET CALL 12 PARTNER_DISPNAME");
    EXPECT_EQ(pSecond->id, pFirst->id + 1); // one process-wide counter
    m_connection.Tick();
    EXPECT_EQ(m_channel.ReceiveAttach(kClient, 0), 1u);
    EXPECT_EQ(m_events.m_nAttached, 1);
    EXPECT_TRUE(m_channel.GetDeliveries().empty());

    m_connection.Tick();
    m_connection.Tick(); // sent ones are not sent again
    const auto& deliveries = m_channel.GetDeliveries();
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_EQ(deliveries[0].text, Framed(pFirst->id, "SEARCH ACTIVECALLS"));
    EXPECT_EQ(deliveries[1].text, Framed(pSecond->id, "GET CALL 12 PARTNER_DISPNAME"));
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
    EXPECT_TRUE(Receive(text));
    if (GetParam().second) {
        EXPECT_EQ(pLog->responses, std::vector<std::string>{*GetParam().second});
        EXPECT_TRUE(pLog->bDeleted);
    } else {
        EXPECT_TRUE(pLog->responses.empty());
        EXPECT_EQ(m_connection.GetHandlerCount(), 1u);
    }
    EXPECT_TRUE(m_events.m_notifications.empty()); // "#..." is never a notification
}

INSTANTIATE_TEST_SUITE_P(Texts, ReplyParsingTest,
                         ::testing::Values(ReplyCase("#{id} OK", "OK"),
                                           ReplyCase("#{id} CALLS 12, 34", "CALLS 12, 34"),
                                           ReplyCase("#{id} ", ""), ReplyCase("#{id}OK", {}),
                                           ReplyCase("#x OK", {}), ReplyCase("#", {}),
                                           ReplyCase("#{id}", {}), ReplyCase("# {id} OK", {}),
                                           ReplyCase("#+{id} OK", {}), ReplyCase("#99999 X", {}),
                                           ReplyCase("#4294967296{id} OK", {})));

TEST_F(SkypeConnectionTest, NotificationsFromTheClientGoToHandlersThenTheEvents)
{
    auto pFirst = Add("A");
    auto pClaiming = Add("B", true);
    auto pLast = Add("C");
    EXPECT_FALSE(Receive("CALL 1 STATUS FINISHED")); // no client window yet
    Attach();
    EXPECT_FALSE(Receive("CALL 1 STATUS FINISHED", "intruder"));
    EXPECT_FALSE(Receive(Framed(pFirst->id, "CALLS 9"), "intruder"));
    EXPECT_TRUE(pFirst->responses.empty() && pFirst->notifications.empty());

    Receive("CALL 3 DURATION 12");
    EXPECT_EQ(pFirst->notifications, std::vector<std::string>{"CALL 3 DURATION 12"});
    EXPECT_EQ(pClaiming->notifications.size(), 1u);
    EXPECT_TRUE(pClaiming->bDeleted); // claimed and complete
    EXPECT_TRUE(pLast->notifications.empty());
    EXPECT_TRUE(Receive(std::string())); // an empty line is a notification too
    EXPECT_EQ(m_events.m_notifications, (std::vector<std::string>{"CALL 3 DURATION 12", ""}));
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
    EXPECT_TRUE(Receive("#" + std::to_string(pLog->id) + " LATE")); // dropped when expired
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
    m_channel.SetDeliveryAnswer([](const auto&) { return false; });
    m_connection.Tick();
    EXPECT_EQ(m_connection.GetAttachState(), 3);
    EXPECT_TRUE(m_connection.GetSkypeWindow().empty());
    EXPECT_EQ(m_events.m_nDetached, 2); // each failed send of the walk reports it
    m_connection.Tick();
    EXPECT_EQ(DiscoverCount(), 1u);

    m_channel.SetDeliveryAnswer({});
    m_channel.ClearRecords();
    m_channel.ReceiveAttach(kClient, 0);
    m_connection.Tick();
    ASSERT_EQ(m_channel.GetDeliveries().size(), 2u);
    EXPECT_EQ(m_channel.GetDeliveries()[0].text, Framed(pFirst->id, "A"));
}

// Lines are answered after the link has moved on: a reply may come first,
// the link may be attached to another client by then, or be gone.
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
        {"delivered", false, nullptr, true, 0, {}},
        {"lost", false, nullptr, false, 1, {kClient}},
        {"lost after a new attach", false, "other", false, 0, {"other"}},
        {"delivered after a new attach", false, "other", true, 0, {}},
    };
    for (const auto& c : cases) {
        Attach();
        m_events.m_nDetached = 0;
        m_channel.SetDeliveryAnswer({});
        m_channel.HoldAnswers(true);
        auto pLog = Add("SEARCH ACTIVECALLS");
        m_connection.Tick();
        if (c.bReplyFirst)
            Receive(Framed(pLog->id, "CALLS 12"));
        if (c.pszReattachedTo != nullptr)
            m_channel.ReceiveAttach(c.pszReattachedTo, 0);
        m_channel.SetDeliveryAnswer([&c](const auto&) { return c.bDelivered; });
        m_channel.ReleaseAnswers();
        EXPECT_EQ(m_events.m_nDetached, c.nDetached) << c.pszCase;
        EXPECT_EQ(pLog->responses.size(), c.bReplyFirst ? 1u : 0u) << c.pszCase;

        m_channel.HoldAnswers(false);
        m_channel.SetDeliveryAnswer({});
        if (m_connection.GetAttachState() != CSkypeConnection::kAttachSuccess)
            m_channel.ReceiveAttach(kClient, 0);
        m_channel.ClearRecords();
        m_connection.Tick();
        std::vector<SkypeWindow> resentTo;
        for (const auto& delivery : m_channel.GetDeliveries())
            resentTo.push_back(delivery.target);
        EXPECT_EQ(resentTo, c.resentTo) << c.pszCase;
        m_channel.SetTickCount(m_channel.GetTickCount() + 10000); // expires what is left
        m_connection.Tick();
    }
}

TEST(SkypeConnectionLifetimeTest, AnswersAfterTheLinkIsGoneAreDropped)
{
    CInProcessSkypeChannel channel;
    channel.HoldAnswers(true);
    channel.SetDeliveryAnswer([](const auto&) { return false; });
    {
        CSkypeConnection link(channel);
        channel.ReceiveAttach(kClient, 0);
        link.Issue(std::make_unique<CLoggingHandler>("SEARCH ACTIVECALLS",
                                                     std::make_shared<CommandLog>()));
    }
    channel.ReleaseAnswers();                         // would detach a link that no longer exists
    EXPECT_EQ(channel.ReceiveAttach(kClient, 0), 0u); // nothing takes what clients send
    EXPECT_FALSE(channel.ReceiveText(kClient, "CALL 1 STATUS FINISHED"));
}

TEST(ReceivedTextTest, EndsAtTheFirstNul)
{
    const std::pair<std::string, std::string> cases[] = {
        {std::string("CALL 3 DURATION 12\0tail", 23), "CALL 3 DURATION 12"},
        {std::string("#7 OK\0", 6), "#7 OK"},
        {"no nul", "no nul"},
        {std::string(1, '\0'), ""},
        {"", ""},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(TextBeforeNul(bytes), text) << text;
}

} // namespace
