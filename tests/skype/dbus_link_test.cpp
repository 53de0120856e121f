// The link over a private bus against callsim, the way the player meets the
// call client.
#include "testkit/callsim_process.h"
#include "testkit/private_bus.h"
#include "testkit/qt_wait.h"
#include "testkit/test_player.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <gtest/gtest.h>

namespace {

class DBusLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(HasQtApp());
        ASSERT_TRUE(m_bus.IsUp());
    }

    std::unique_ptr<CTestPlayer> MakePlayer(int deliveryTimeoutMs = 1000)
    {
        return std::make_unique<CTestPlayer>(m_bus.Connect(), deliveryTimeoutMs);
    }

    std::unique_ptr<CCallsimProcess> StartCallsim(const QStringList& arguments)
    {
        auto pCallsim = std::make_unique<CCallsimProcess>(m_bus.GetAddress(), arguments);
        EXPECT_TRUE(pCallsim->WaitReady());
        return pCallsim;
    }

    CPrivateBus m_bus;
};

TEST_F(DBusLinkTest, AttachesAndMatchesRepliesById)
{
    auto pCallsim = StartCallsim({"--call", "12:Alice"});
    auto pPlayer = MakePlayer();
    ASSERT_TRUE(pPlayer->m_connection.HasMessageIds());
    ASSERT_TRUE(pPlayer->Attach());
    EXPECT_EQ(pPlayer->m_monitor.m_nAttached, 1);
    EXPECT_EQ(pPlayer->m_connection.GetSkypeWindow(), pCallsim->GetWindow());

    auto pLog = pPlayer->Issue("SEARCH ACTIVECALLS");
    ASSERT_TRUE(CTestPlayer::WaitForResponses(*pLog));
    EXPECT_EQ(pLog->responses[0], "CALLS 12");
    EXPECT_GE(pCallsim->FindLine("recv " + pPlayer->m_channel.GetOwnWindow() + " #" +
                                 std::to_string(pLog->id) + " SEARCH ACTIVECALLS"),
              0);
}

TEST_F(DBusLinkTest, CommandsIssuedFromInsideAReplyHandlerGoThrough)
{
    auto pCallsim = StartCallsim({"--call", "12:Alice", "--call", "34:Bob Smith"});
    auto pPlayer = MakePlayer();
    ASSERT_TRUE(pPlayer->Attach());
    std::vector<std::shared_ptr<CommandLog>> properties;
    auto pSearch = pPlayer->Issue("SEARCH ACTIVECALLS", [&](const std::string&) {
        for (const char* pszCall : {"12", "34"})
            properties.push_back(
                pPlayer->Issue(std::string("GET CALL ") + pszCall + " PARTNER_DISPNAME"));
    });
    ASSERT_TRUE(CTestPlayer::WaitForResponses(*pSearch));
    ASSERT_EQ(properties.size(), 2u);
    ASSERT_TRUE(CTestPlayer::WaitForResponses(*properties[0]));
    ASSERT_TRUE(CTestPlayer::WaitForResponses(*properties[1]));
    EXPECT_EQ(properties[0]->responses[0], "CALL 12 PARTNER_DISPNAME Alice");
    EXPECT_EQ(properties[1]->responses[0], "CALL 34 PARTNER_DISPNAME Bob Smith");
    EXPECT_EQ(pPlayer->m_connection.GetHandlerCount(), 0u);
}

TEST_F(DBusLinkTest, NotificationsReachTheMonitor)
{
    auto pCallsim = StartCallsim({"--call", "12:Alice", "--duration-interval", "100"});
    auto pPlayer = MakePlayer();
    ASSERT_TRUE(pPlayer->Attach());
    ASSERT_TRUE(
        WaitFor([&] { return pPlayer->m_monitor.HasNotificationStarting("CALL 12 DURATION "); }));
    pCallsim->Control("end 12 BUSY");
    EXPECT_TRUE(pPlayer->WaitForNotification("CALL 12 STATUS BUSY"));
}

TEST_F(DBusLinkTest, FollowsPendingRefusedAndApiAvailableStatuses)
{
    auto pCallsim = StartCallsim({"--attach-status", "2"});
    auto pPlayer = MakePlayer();
    ASSERT_TRUE(pPlayer->TickUntilState(CSkypeConnection::kAttachRefused));
    pCallsim->Control("attach pending");
    ASSERT_TRUE(WaitFor([&] { return pPlayer->m_connection.GetAttachState() == 1; }));
    // 0x8001 makes the player discover at once, without a tick.
    pCallsim->Control("attach available");
    EXPECT_TRUE(WaitFor([&] { return pPlayer->m_connection.GetAttachState() == 0; }));
    EXPECT_EQ(pPlayer->m_monitor.m_nAttached, 1);
}

TEST_F(DBusLinkTest, ClientCrashDetachesAtOnceAndTheLinkRediscovers)
{
    auto pCallsim = StartCallsim({"--call", "12:Alice"});
    // A long delivery time-out: a crashed client must not cost it.
    auto pPlayer = MakePlayer(60000);
    ASSERT_TRUE(pPlayer->Attach());
    pCallsim->Kill();

    auto pLog = pPlayer->Issue("SEARCH ACTIVECALLS");
    EXPECT_EQ(pPlayer->m_connection.GetAttachState(), 3);
    EXPECT_EQ(pPlayer->m_monitor.m_nDetached, 1);
    EXPECT_NE(pPlayer->m_channel.GetLastDeliveryError(), "org.freedesktop.DBus.Error.NoReply");
    EXPECT_FALSE(pPlayer->m_channel.GetLastDeliveryError().empty());

    auto pSuccessor = StartCallsim({"--call", "56:Carol"});
    ASSERT_TRUE(pPlayer->Attach());
    EXPECT_EQ(pPlayer->m_connection.GetSkypeWindow(), pSuccessor->GetWindow());
    pPlayer->m_connection.Tick(); // the waiting command goes out now
    ASSERT_TRUE(CTestPlayer::WaitForResponses(*pLog));
    EXPECT_EQ(pLog->responses[0], "CALLS 56");
}

TEST_F(DBusLinkTest, UnansweredDeliveryCountsAsNotDelivered)
{
    auto pCallsim = StartCallsim({});
    auto pPlayer = MakePlayer(300);
    ASSERT_TRUE(pPlayer->Attach());
    pCallsim->Control("hang");
    ASSERT_TRUE(WaitFor([&] {
        pPlayer->Issue("SEARCH ACTIVECALLS");
        return pPlayer->m_connection.GetAttachState() == 3;
    }));
    EXPECT_EQ(pPlayer->m_channel.GetLastDeliveryError(), "org.freedesktop.DBus.Error.NoReply");
}

TEST_F(DBusLinkTest, CopyDataFromAnotherConnectionIsRefused)
{
    auto pCallsim = StartCallsim({"--call", "12:Alice"});
    auto pPlayer = MakePlayer();
    ASSERT_TRUE(pPlayer->Attach());
    auto pLog = std::make_shared<CommandLog>();
    // Never sent: it stays in the table for a spoofed reply to find.
    pPlayer->m_connection.AddHandler(std::make_unique<CLoggingHandler>("SEARCH ACTIVECALLS", pLog));

    QDBusConnection intruder = m_bus.Connect();
    std::vector<uint> answers;
    for (const std::string& text :
         {"#" + std::to_string(pLog->id) + " CALLS 666", std::string("CALL 12 STATUS FINISHED")}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QString::fromStdString(pPlayer->m_channel.GetOwnWindow()),
            QString::fromLatin1(kSkypeApiObjectPath), QString::fromLatin1(kSkypeApiInterface),
            QStringLiteral("CopyData"));
        call << QByteArray(text.c_str(), static_cast<qsizetype>(text.size() + 1));
        auto* pWatcher = new QDBusPendingCallWatcher(intruder.asyncCall(call));
        QObject::connect(pWatcher, &QDBusPendingCallWatcher::finished,
                         [&answers](QDBusPendingCallWatcher* pDone) {
                             const QDBusPendingReply<uint> reply = *pDone;
                             answers.push_back(reply.isError() ? 99u : reply.value());
                             pDone->deleteLater();
                         });
    }
    ASSERT_TRUE(WaitFor([&] { return answers.size() == 2; }));
    EXPECT_EQ(answers, (std::vector<uint>{0u, 0u}));
    EXPECT_TRUE(pLog->responses.empty());
    EXPECT_FALSE(pPlayer->m_monitor.HasNotification("CALL 12 STATUS FINISHED"));
}

TEST(DBusChannelRegistrationTest, FailsWithoutABusOrWhenTheObjectIsTaken)
{
    ASSERT_TRUE(HasQtApp());
    CPrivateBus bus;
    ASSERT_TRUE(bus.IsUp());
    QDBusConnection shared = bus.Connect();
    CDBusSkypeChannel first(shared);
    CDBusSkypeChannel second(shared); // the API object is already exported
    CDBusSkypeChannel unreachable(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("voxreel-test-unreachable")));
    EXPECT_NE(first.RegisterMessage(kSkypeAttachMessageName), 0u);
    for (CDBusSkypeChannel* pChannel : {&second, &unreachable}) {
        CSkypeConnection connection(*pChannel, nullptr);
        EXPECT_FALSE(connection.HasMessageIds());
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("voxreel-test-unreachable"));
}

} // namespace
