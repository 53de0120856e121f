// The audio server against real loopback clients.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <csignal>
#include <condition_variable>
#include <mutex>

#include "test_support.h"
#include "voxreel/ids.h"

namespace {

class TcpServer : public testing::Test {
protected:
    // Each test starts with a client accepted.
    void SetUp() override
    {
        ASSERT_EQ(m_server.Start(0), S_OK);
        ASSERT_TRUE(m_client.Connect(m_server.LocalPort()));
        ASSERT_EQ(Codes(1).size(), 1u);
    }
    // The codes posted so far, once there are n of them or the time is up.
    std::vector<int> Codes(std::size_t n = 0)
    {
        std::unique_lock lock(m_mutex);
        m_posted.wait_for(lock, 10s, [&] { return m_codes.size() >= n; });
        return m_codes;
    }
    // Plays the pacing thread: fills the next free block and submits it.
    bool SubmitNext(std::int16_t value, std::chrono::milliseconds timeout = 10s)
    {
        SendBlock& block = m_ring.Current();
        if (!WaitUntil([&] { return block.IsFree(); }, timeout))
            return false;
        block.m_aData.fill(value);
        block.m_nFilled = kBlockSamples;
        m_ring.Advance();
        block.m_bFree.store(false);
        m_server.Submit(block);
        return true;
    }

    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::vector<int> m_codes; // guarded by m_mutex
    CSendRing m_ring;
    CTcpServer m_server{[this](int nCode, std::uint32_t nValue) {
        std::lock_guard lock(m_mutex);
        m_codes.push_back(nCode);
        m_posted.notify_all();
        EXPECT_TRUE(nCode != NOTIFY_ERROR || nValue == static_cast<std::uint32_t>(E_FAIL));
    }};
    CTestClient m_client;
};

// Blocks go out in order; a vanished client raises no SIGPIPE and keeps no
// blocks; after an error the server discards at once and restarts despite
// TIME_WAIT or a child started while it listened, but not beside another
// listener; a client that never reads (a small window) builds up no delay.
TEST_F(TcpServer, SendsInOrderSurvivesClientsAndErrorsAndRestarts)
{
    std::signal(SIGPIPE, SIG_DFL);
    for (std::int16_t i = 1; i <= 6; ++i)
        ASSERT_TRUE(SubmitNext(i));
    ASSERT_TRUE(m_client.Read(6 * kBlockBytes));
    for (std::size_t i = 0; i < 6 * kBlockSamples; ++i)
        ASSERT_EQ(m_client.Sample(i), static_cast<std::int16_t>(1 + i / kBlockSamples)) << i;

    m_client.Close();
    for (std::int16_t i = 0; i < 64; ++i)
        ASSERT_TRUE(SubmitNext(i));
    ASSERT_EQ(Codes(2).size(), 2u);
    EXPECT_TRUE(WaitUntil([&] { return m_ring.AllFree(); }));
    CTestClient second;
    ASSERT_TRUE(second.Connect(m_server.LocalPort()));
    ASSERT_EQ(Codes(3).size(), 3u) << "a new client is accepted";

    const int nPort = m_server.LocalPort();
    m_server.InjectFailure();
    EXPECT_EQ(Codes(4), (std::vector<int>{NOTIFY_CLIENT_CONNECTED, NOTIFY_CLIENT_DISCONNECTED,
                                          NOTIFY_CLIENT_CONNECTED, NOTIFY_ERROR}));
    EXPECT_TRUE(second.WaitClosed());
    const SendBlock& block = m_ring.Current();
    ASSERT_TRUE(SubmitNext(5));
    EXPECT_TRUE(block.IsFree()) << "a server that ended discards at once";
    m_server.Stop();
    EXPECT_EQ(m_server.Start(nPort), S_OK);
    EXPECT_EQ(m_server.Start(nPort), E_FAIL) << "a server thread exists already";
    // A child started while the port listens (a helper that hangs) must not
    // keep it, nor one still between its fork and its exec as the port restarts.
    pid_t child = 0;
    char* argv[] = {const_cast<char*>("sleep"), const_cast<char*>("60"), nullptr};
    ASSERT_EQ(posix_spawnp(&child, "sleep", nullptr, nullptr, argv, environ), 0);
    m_server.Stop();
    EXPECT_EQ(m_server.Start(nPort), S_OK) << "the port was kept by a child";
    const pid_t forked = ::fork();
    if (forked == 0) {
        ::usleep(300'000);
        ::_exit(0);
    }
    m_server.Stop();
    EXPECT_EQ(m_server.Start(nPort), S_OK) << "a child about to exec took the port for good";
    for (const pid_t pid : {child, forked}) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    CTcpServer other([](int, std::uint32_t) {});
    EXPECT_EQ(other.Start(nPort), E_FAIL);
    EXPECT_EQ(other.Start(nPort + 65536 * 3), E_FAIL) << "only the low 16 bits count";

    CTestClient slow;
    ASSERT_TRUE(slow.Connect(nPort, 4096));
    ASSERT_TRUE(WaitUntil([&] { return Codes().back() == NOTIFY_CLIENT_CONNECTED; }));
    int nAccepted = 0; // blocks whose send completed
    while (SubmitNext(1, 500ms))
        ++nAccepted;
    // One second of audio (32000 bytes) or less, the client's window included.
    EXPECT_LE(nAccepted * kBlockBytes, 3u * 32000u) << nAccepted << " blocks";
    m_server.Stop(); // ends the sends that are still pending
    EXPECT_TRUE(m_ring.AllFree());
}

} // namespace
