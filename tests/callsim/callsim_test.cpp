// callsim as the player meets it: its replies on a private bus and its
// network input, recorded, against a plain TCP listener.
#include "testkit/bus_testkit.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

std::string LittleEndian(std::uint32_t value, int size)
{
    std::string bytes;
    for (int i = 0; i < size; ++i)
        bytes.push_back(static_cast<char>(value >> (8 * i)));
    return bytes;
}

TEST(Callsim, RecordsTheInputAndAnswersWhatThePlayerAsks)
{
    QTemporaryDir directory;
    const QString wavPath = directory.filePath(QStringLiteral("input.wav"));
    CCallsimProcess callsim({"--call", "7:Alice", "--call", "9:Bob Smith", "--record", wavPath});
    CTestPlayer player;
    ASSERT_TRUE(player.TickUntilState());
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    const std::string command =
        "ALTER CALL 7 SET_INPUT PORT=\"" + std::to_string(listener.serverPort()) + "\"";
    EXPECT_EQ(player.Ask(command), command);
    ASSERT_TRUE(WaitFor([&] { return listener.hasPendingConnections(); }));
    std::unique_ptr<QTcpSocket> pPeer(listener.nextPendingConnection());
    // It connects after the echo has gone out.
    const int echo = callsim.WaitForLine("send " + player.m_channel.GetOwnWindow() + " #");
    ASSERT_GE(echo, 0);
    EXPECT_LT(echo, callsim.WaitForLine("input connected 7"));

    std::string pcm;
    for (std::uint32_t i = 0; i < 8000; ++i) // half a second of a ramp
        pcm += LittleEndian(i, 2);
    pPeer->write(pcm.data(), static_cast<qint64>(pcm.size()));
    pPeer->disconnectFromHost(); // after what was written has gone out
    EXPECT_TRUE(player.WaitForNotification("CALL 7 VAA_INPUT_STATUS FALSE"));
    ASSERT_GE(callsim.WaitForLine("input lost 7 16000"), 0);
    QFile wav(wavPath);
    ASSERT_TRUE(wav.open(QIODevice::ReadOnly));
    const auto size = static_cast<std::uint32_t>(pcm.size());
    EXPECT_EQ(wav.readAll().toStdString(),
              "RIFF" + LittleEndian(36 + size, 4) + "WAVEfmt " + LittleEndian(16, 4) +
                  LittleEndian(1, 2) + LittleEndian(1, 2) + LittleEndian(16000, 4) +
                  LittleEndian(32000, 4) + LittleEndian(2, 2) + LittleEndian(16, 2) + "data" +
                  LittleEndian(size, 4) + pcm);

    const char* const exchanges[][3] = {
        // control line sent first, command, reply
        {nullptr, "SEARCH ACTIVECALLS", "CALLS 7, 9"},
        {nullptr, "get call 9 partner_dispname", "CALL 9 PARTNER_DISPNAME Bob Smith"},
        {nullptr, "GET CALL 5 PARTNER_DISPNAME", "ERROR 3 Unknown call"},
        {nullptr, "ALTER CALL 5 SET_INPUT PORT=\"17171\"", "ERROR 3 Unknown call"},
        {nullptr, "ALTER CALL 9 SET_INPUT PORT=\"99999\"", "ERROR 2 Unknown command"},
        {"refuse on", "ALTER CALL 9 SET_INPUT PORT=\"17171\"", "ERROR 4 Input switch refused"},
        {"end 7 BUSY", "SEARCH ACTIVECALLS", "CALLS 9"},
        {"call 11 Carol", "GET CALL 11 PARTNER_DISPNAME", "CALL 11 PARTNER_DISPNAME Carol"},
        {"end 9", "SEARCH ACTIVECALLS", "CALLS 11"},
        {"end 11 CANCELLED", "SEARCH ACTIVECALLS", "CALLS "},
    };
    for (const auto& [pszControl, pszCommand, pszReply] : exchanges) {
        SCOPED_TRACE(pszCommand);
        if (pszControl != nullptr) {
            callsim.Control(pszControl);
            ASSERT_GE(callsim.WaitForLine(std::string("control ") + pszControl), 0);
        }
        EXPECT_EQ(player.Ask(pszCommand), pszReply);
    }
    for (const char* pszLine :
         {"CALL 7 STATUS BUSY", "CALL 9 STATUS FINISHED", "CALL 11 STATUS INPROGRESS"})
        EXPECT_TRUE(player.WaitForNotification(pszLine));
}

} // namespace
