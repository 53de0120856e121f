// The link over a private bus against callsim, the way the player meets the
// call client, and callsim's answers and recording of a call's network input.
#include "testkit/bus_testkit.h"

#include <QDBusReply>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::string LittleEndian(std::uint32_t value, int size)
{
    std::string bytes;
    for (int i = 0; i < size; ++i)
        bytes.push_back(static_cast<char>(value >> (8 * i)));
    return bytes;
}

// Replies are matched by id and the client's notifications reach the link's
// events. A client that answers nothing: the command goes out and the link
// carries on at once; a flush, as at closing, waits for the missing answer
// until the delivery time-out, which detaches the link (how soon is checked
// in the window's call test). A crashed client detaches it at once, without
// that time-out. Either way the command waits for the client found next. A
// line another connection sends in the client's place is refused, and a
// second channel on one connection or one without a bus is unusable.
TEST(DBusLinkTest, MatchesRepliesOnlyFromTheClientAndNeverHangsOnIt)
{
    QTemporaryDir directory;
    const QString wavPath = directory.filePath(QStringLiteral("input.wav"));
    // No timed lines: one that crosses a re-attach would detach the link again.
    auto pCallsim = std::make_unique<CCallsimProcess>(
        QStringList{"--call", "12:Alice", "--call", "34:Bob Smith", "--duration-interval",
                    "3600000", "--record", wavPath});
    CTestPlayer player(1500);
    ASSERT_TRUE(player.TickUntilState());
    EXPECT_EQ(player.m_events.m_nAttached, 1);
    EXPECT_EQ(player.m_connection.GetSkypeWindow(), pCallsim->GetWindow());
    // callsim connects to the port it is given after its echo has gone out and records
    // what comes as a WAV file.
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    const std::string command =
        "ALTER CALL 12 SET_INPUT PORT=\"" + std::to_string(listener.serverPort()) + "\"";
    EXPECT_EQ(player.Ask(command), command);
    ASSERT_TRUE(WaitFor([&] { return listener.hasPendingConnections(); }));
    std::unique_ptr<QTcpSocket> pPeer(listener.nextPendingConnection());
    const int nArrived = pCallsim->WaitForLine(command); // then its echo, the next reply
    ASSERT_GE(nArrived, 0);
    const int echo =
        pCallsim->WaitForLine("send " + player.m_channel.GetOwnWindow() + " #", nArrived + 1);
    ASSERT_GE(echo, 0);
    EXPECT_LT(echo, pCallsim->WaitForLine("input connected 12"));
    std::string pcm;
    for (std::uint32_t i = 0; i < 8000; ++i) // half a second of a ramp
        pcm += LittleEndian(i, 2);
    pPeer->write(pcm.data(), static_cast<qint64>(pcm.size()));
    pPeer->disconnectFromHost(); // after what was written has gone out
    EXPECT_TRUE(player.WaitForNotification("CALL 12 VAA_INPUT_STATUS FALSE"));
    ASSERT_GE(pCallsim->WaitForLine("input lost 12 16000"), 0);
    QFile wav(wavPath);
    ASSERT_TRUE(wav.open(QIODevice::ReadOnly));
    const auto size = static_cast<std::uint32_t>(pcm.size());
    EXPECT_EQ(wav.readAll().toStdString(),
              "RIFF" + LittleEndian(36 + size, 4) + "WAVEfmt " + LittleEndian(16, 4) +
                  LittleEndian(1, 2) + LittleEndian(1, 2) + LittleEndian(16000, 4) +
                  LittleEndian(32000, 4) + LittleEndian(2, 2) + LittleEndian(16, 2) + "data" +
                  LittleEndian(size, 4) + pcm);

    // Its answers, and its calls coming and going.
    const char* const exchanges[][3] = {
        // control line sent first, command, reply
        {nullptr, "SEARCH ACTIVECALLS", "CALLS 12, 34"},
        {nullptr, "get call 34 partner_dispname", "CALL 34 PARTNER_DISPNAME Bob Smith"},
        {nullptr, "GET CALL 5 PARTNER_DISPNAME", "ERROR 3 Unknown call"},
        {nullptr, "ALTER CALL 5 SET_INPUT PORT=\"17171\"", "ERROR 3 Unknown call"},
        {nullptr, "ALTER CALL 34 SET_INPUT PORT=\"99999\"", "ERROR 2 Unknown command"},
        {"refuse on", "ALTER CALL 34 SET_INPUT PORT=\"17171\"", "ERROR 4 Input switch refused"},
        {"end 12 BUSY", "SEARCH ACTIVECALLS", "CALLS 34"},
        {"call 11 Carol", "GET CALL 11 PARTNER_DISPNAME", "CALL 11 PARTNER_DISPNAME Carol"},
        {"end 34", "SEARCH ACTIVECALLS", "CALLS 11"},
        {"end 11 CANCELLED", "SEARCH ACTIVECALLS", "CALLS "},
    };
    for (const auto& [pszControl, pszCommand, pszReply] : exchanges) {
        SCOPED_TRACE(pszCommand);
        if (pszControl != nullptr) {
            pCallsim->Control(pszControl);
            ASSERT_GE(pCallsim->WaitForLine(std::string("control ") + pszControl), 0);
        }
        EXPECT_EQ(player.Ask(pszCommand), pszReply);
    }
    for (const char* pszLine :
         {"CALL 12 STATUS BUSY", "CALL 34 STATUS FINISHED", "CALL 11 STATUS INPROGRESS"})
        EXPECT_TRUE(player.WaitForNotification(pszLine));

    // A hung or crashed client.
    for (const bool bHang : {true, false}) {
        SCOPED_TRACE(bHang ? "hang" : "crash");
        if (bHang) {
            pCallsim->Control("hang");
            ASSERT_GE(pCallsim->WaitForLine("control hang"), 0);
        } else {
            pCallsim->Kill();
        }
        auto pLog = player.Issue("SEARCH ACTIVECALLS");
        if (bHang) {
            EXPECT_EQ(player.m_connection.GetAttachState(), 0) << "waited for the answer";
            player.m_connection.FlushDeliveries();
            EXPECT_EQ(player.m_connection.GetAttachState(), 3) << "the answer is in on return";
        }
        ASSERT_TRUE(WaitFor([&] { return player.m_connection.GetAttachState() == 3; }));
        const std::string error = player.m_channel.GetLastDeliveryError();
        EXPECT_EQ(error == "org.freedesktop.DBus.Error.NoReply", bHang) << error;
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(pLog->responses.empty());
        if (bHang)
            pCallsim->Control("answer");
        else
            pCallsim = std::make_unique<CCallsimProcess>(
                QStringList{"--call", "56:Carol", "--duration-interval", "3600000"});
        ASSERT_TRUE(player.TickUntilState());
        EXPECT_EQ(player.m_connection.GetSkypeWindow(), pCallsim->GetWindow());
        player.m_connection.Tick(); // the waiting command goes out now
        ASSERT_TRUE(WaitFor([&] { return !pLog->responses.empty(); }));
        EXPECT_EQ(pLog->responses[0], bHang ? "CALLS " : "CALLS 56");
    }
    EXPECT_EQ(player.m_events.m_nDetached, 2);

    // Another connection's line is not the client's, whatever it says.
    QDBusConnection intruder = ConnectToBus();
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromStdString(player.m_channel.GetOwnWindow()),
        QString::fromLatin1(kSkypeApiObjectPath), QString::fromLatin1(kSkypeApiInterface),
        QStringLiteral("CopyData"));
    call << QByteArray("CALL 56 STATUS FINISHED", 24); // with its NUL
    // The player answers on this thread: wait with its event loop running.
    const QDBusReply<uint> reply = intruder.call(call, QDBus::BlockWithGui, 5000);
    ASSERT_TRUE(reply.isValid()) << reply.error().message().toStdString();
    EXPECT_EQ(reply.value(), 0u);
    EXPECT_EQ(std::ranges::count(player.m_events.m_notifications, "CALL 56 STATUS FINISHED"), 0);

    // A channel is usable only where it could export the API object.
    CDBusSkypeChannel first(intruder);
    CDBusSkypeChannel second(intruder);
    CDBusSkypeChannel unreachable(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("unreachable")));
    EXPECT_TRUE(CSkypeConnection(first).IsUsable());
    for (CDBusSkypeChannel* pChannel : {&second, &unreachable})
        EXPECT_FALSE(CSkypeConnection(*pChannel).IsUsable()) << "object taken or no bus";
}

} // namespace
