#include "tcp_server.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <system_error>
#include <thread>

#include <asio.hpp>

#include "peer_owner.h"
#include "renderer_debug.h"
#include "voxreel/ids.h"

using asio::ip::tcp;

// Everything the server thread owns while it runs.
class CTcpServer::CSession {
public:
    CSession(CTcpServer& server) : m_server(server) {}

    HRESULT Listen(int nPort);
    void Accept();
    void Send(SendBlock& block);
    void Shut(bool bReport);
    void CloseClient();

    asio::io_context m_io{1};

private:
    void OnAccepted();
    void WatchClient();
    void WriteFront();
    void ReleasePending();

    CTcpServer& m_server;
    tcp::acceptor m_acceptor{m_io};
    tcp::socket m_incoming{m_io};
    tcp::socket m_client{m_io};
    std::array<char, 512> m_aDiscard{}; // what the client sends is never looked at
    // Blocks waiting for the socket, in order; the front one is being written.
    std::array<SendBlock*, kBlockCount> m_aPending{};
    int m_nPendingHead = 0;
    int m_nPending = 0;
    bool m_bWriting = false;
};

namespace {

// A port just closed may still be held for a moment by a child forked before
// the close and not yet through its exec (close-on-exec acts only there), so
// "in use" is tried again for a while before it is believed.
constexpr auto kHeldPortWait = std::chrono::seconds(1);
constexpr auto kHeldPortRetry = std::chrono::milliseconds(10);

void BindRetryingWhileHeld(tcp::acceptor& acceptor, const tcp::endpoint& endpoint,
                           asio::error_code& error)
{
    const auto giveUp = std::chrono::steady_clock::now() + kHeldPortWait;
    for (;;) {
        acceptor.bind(endpoint, error);
        if (error != asio::error::address_in_use || std::chrono::steady_clock::now() >= giveUp)
            return;
        std::this_thread::sleep_for(kHeldPortRetry);
    }
}

} // namespace

HRESULT CTcpServer::CSession::Listen(int nPort)
{
    const auto port = static_cast<std::uint16_t>(nPort & 0xFFFF);
    const tcp::endpoint endpoint(asio::ip::make_address_v4("127.0.0.1"), port);
    asio::error_code error;
    // Close-on-exec from the start: a child started meanwhile (a helper the
    // program runs, one that hangs) would otherwise hold the port after a
    // stop, and the next start would find it taken.
    const int nSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (nSocket < 0)
        error.assign(errno, asio::error::get_system_category());
    else if (m_acceptor.assign(endpoint.protocol(), nSocket, error); error)
        ::close(nSocket);
    if (!error) // a restart must not be refused because of TIME_WAIT
        m_acceptor.set_option(tcp::acceptor::reuse_address(true), error);
    if (!error)
        BindRetryingWhileHeld(m_acceptor, endpoint, error);
    if (!error)
        m_acceptor.listen(1, error);
    if (error) {
        GST_WARNING("cannot listen on 127.0.0.1:%d: %s", nPort, error.message().c_str());
        asio::error_code ignored;
        m_acceptor.close(ignored);
        return E_FAIL;
    }
    m_server.m_nLocalPort.store(m_acceptor.local_endpoint(error).port(), std::memory_order_relaxed);
    GST_INFO("listening on 127.0.0.1:%d", m_server.m_nLocalPort.load(std::memory_order_relaxed));
    return S_OK;
}

void CTcpServer::CSession::Accept()
{
    m_acceptor.async_accept(m_incoming, [this](const asio::error_code& error) {
        if (error == asio::error::operation_aborted || !m_acceptor.is_open())
            return;
        if (!error)
            OnAccepted();
        Accept();
    });
}

void CTcpServer::CSession::OnAccepted()
{
    asio::error_code error;
    // One client at a time, and only one of our own user: the port serves
    // the microphone. Anyone else is closed at once, silently.
    if (m_client.is_open() || !IsOwnUsersConnection(m_incoming.native_handle())) {
        GST_INFO("turned a connection away: %s",
                 m_client.is_open() ? "a client is connected already" : "another user's");
        m_incoming.close(error);
        return;
    }
    ::fcntl(m_incoming.native_handle(), F_SETFD, FD_CLOEXEC);
    m_incoming.set_option(asio::socket_base::send_buffer_size(kClientSendBuffer), error);
    if (!error) // each write is a whole block meant to leave at once
        m_incoming.set_option(tcp::no_delay(true), error);
    if (error) {
        GST_WARNING("cannot set up the client's socket: %s", error.message().c_str());
        m_incoming.close(error);
        return;
    }
    m_client = std::move(m_incoming);
    GST_INFO("client connected");
    m_server.m_notify(NOTIFY_CLIENT_CONNECTED, 0);
    WatchClient();
}

// The client's end of the connection closing shows as the end of reading.
void CTcpServer::CSession::WatchClient()
{
    m_client.async_read_some(asio::buffer(m_aDiscard),
                             [this](const asio::error_code& error, std::size_t) {
                                 if (error == asio::error::operation_aborted)
                                     return;
                                 if (!error) {
                                     WatchClient();
                                     return;
                                 }
                                 GST_INFO("client disconnected: %s", error.message().c_str());
                                 CloseClient();
                                 m_server.m_notify(NOTIFY_CLIENT_DISCONNECTED, 0);
                             });
}

void CTcpServer::CSession::CloseClient()
{
    asio::error_code ignored;
    m_client.close(ignored); // a write in progress ends with operation_aborted
    if (!m_bWriting)
        ReleasePending();
}

void CTcpServer::CSession::Send(SendBlock& block)
{
    if (!m_client.is_open() || m_nPending == kBlockCount) {
        block.Release(); // no client: the audio is discarded
        return;
    }
    m_aPending[static_cast<std::size_t>((m_nPendingHead + m_nPending) % kBlockCount)] = &block;
    ++m_nPending;
    if (!m_bWriting)
        WriteFront();
}

// One write at a time: a second write started before the first completes
// could interleave their bytes on the stream.
void CTcpServer::CSession::WriteFront()
{
    SendBlock& block = *m_aPending[static_cast<std::size_t>(m_nPendingHead)];
    m_bWriting = true;
    asio::async_write(m_client, asio::buffer(block.m_aData.data(), block.m_nFilled * 2),
                      [this](const asio::error_code&, std::size_t) {
                          SendBlock& sent = *m_aPending[static_cast<std::size_t>(m_nPendingHead)];
                          m_nPendingHead = (m_nPendingHead + 1) % kBlockCount;
                          --m_nPending;
                          m_bWriting = false;
                          sent.Release(); // success or failure alike
                          if (m_nPending == 0)
                              return;
                          if (m_client.is_open())
                              WriteFront();
                          else
                              ReleasePending();
                      });
}

void CTcpServer::CSession::ReleasePending()
{
    while (m_nPending > 0) {
        m_aPending[static_cast<std::size_t>(m_nPendingHead)]->Release();
        m_nPendingHead = (m_nPendingHead + 1) % kBlockCount;
        --m_nPending;
    }
}

// Stops taking blocks and closes every socket; the handlers of the aborted
// operations still run and release their blocks.
void CTcpServer::CSession::Shut(bool bReport)
{
    {
        std::lock_guard lock(m_server.m_mutex);
        m_server.m_bAccepting = false;
    }
    asio::error_code ignored;
    m_acceptor.close(ignored);
    m_incoming.close(ignored);
    CloseClient();
    if (bReport)
        m_server.m_notify(NOTIFY_CLIENT_DISCONNECTED, 0);
}

CTcpServer::CTcpServer(NotifyFn notify) : m_notify(std::move(notify))
{
}

CTcpServer::~CTcpServer()
{
    Stop();
}

HRESULT CTcpServer::Start(int nPort)
{
    if (m_thread.joinable())
        return E_FAIL;
    try {
        auto pSession = std::make_unique<CSession>(*this);
        if (FAILED(pSession->Listen(nPort)))
            return E_FAIL;
        pSession->Accept();
        {
            std::lock_guard lock(m_mutex);
            m_pSession = std::move(pSession);
            m_bAccepting = true;
        }
        m_thread = std::thread([this, &session = *m_pSession] { Run(session); });
    } catch (const std::exception&) {
        std::lock_guard lock(m_mutex);
        m_bAccepting = false;
        m_pSession.reset();
        return E_FAIL;
    }
    return S_OK;
}

void CTcpServer::Run(CSession& session)
{
    pthread_setname_np(pthread_self(), kThreadName);
    try {
        session.m_io.run();
        return; // ended on request: Shut has run on this thread
    } catch (const std::exception& failure) {
        GST_ERROR("the server thread failed: %s", failure.what());
        m_notify(NOTIFY_ERROR, static_cast<std::uint32_t>(E_FAIL));
    } catch (...) {
        GST_ERROR("the server thread failed");
        m_notify(NOTIFY_ERROR, static_cast<std::uint32_t>(E_FAIL));
    }
    // Ended on an error: close everything so that no client hangs on a
    // server that no longer serves, and let the aborted sends release their
    // blocks before the thread ends.
    session.Shut(false);
    for (;;) {
        try {
            session.m_io.restart();
            session.m_io.run();
            return;
        } catch (...) {
        }
    }
}

void CTcpServer::Stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        // A thread that ended on an error never runs this; joining it is all
        // that is left to do.
        asio::post(m_pSession->m_io, [&session = *m_pSession] { session.Shut(true); });
    }
    m_thread.join();
    std::lock_guard lock(m_mutex);
    m_bAccepting = false;
    m_pSession.reset();
}

void CTcpServer::Submit(SendBlock& block)
{
    std::lock_guard lock(m_mutex);
    if (!m_bAccepting) {
        block.Release();
        return;
    }
    asio::post(m_pSession->m_io, [&session = *m_pSession, &block] { session.Send(block); });
}

void CTcpServer::InjectFailure()
{
    std::lock_guard lock(m_mutex);
    if (m_bAccepting)
        asio::post(m_pSession->m_io, [] { throw std::runtime_error("injected failure"); });
}
