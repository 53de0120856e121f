#include "soak_client.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>

#include "voxreel_test_support.h"

CSoakClient::CSoakClient(int nPort)
{
    m_fd = voxreel::test::ConnectLoopback(nPort);
    if (m_fd >= 0)
        m_thread = std::thread([this] { ReadLoop(); });
}

CSoakClient::~CSoakClient()
{
    m_bStop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_fd >= 0)
        close(m_fd);
}

CSoakClient::Figures CSoakClient::Read() const
{
    std::lock_guard lock(m_mutex);
    Figures figures = m_figures;
    figures.m_dSeconds = std::chrono::duration<double>(m_last - m_first).count();
    return figures;
}

void CSoakClient::ReadLoop()
{
    pthread_setname_np(pthread_self(), "soak-client");
    char chunk[16384];
    while (!m_bStop) {
        const ssize_t n = voxreel::test::ReceiveWithin(m_fd, chunk, sizeof chunk, 100);
        if (n == 0)
            continue;
        if (n < 0)
            return;
        const Clock::time_point now = Clock::now();
        std::lock_guard lock(m_mutex);
        if (m_bFirst) {
            m_first = now;
            m_bFirst = false;
        } else {
            m_figures.m_dMaxGapMs =
                std::max(m_figures.m_dMaxGapMs,
                         std::chrono::duration<double, std::milli>(now - m_last).count());
            m_figures.m_cbAfterFirst += static_cast<std::uint64_t>(n);
        }
        m_last = now;
    }
}
