// A client of the renderer's port for tests: reads what the call would hear,
// without blocking, whenever the test polls it.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

namespace apptest {

class CPortClient {
public:
    explicit CPortClient(int nPort) : m_fd(socket(AF_INET, SOCK_STREAM, 0))
    {
        const sockaddr_in address{
            AF_INET, htons(static_cast<std::uint16_t>(nPort)), {htonl(INADDR_LOOPBACK)}, {}};
        m_bConnected =
            connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~CPortClient() { close(m_fd); }
    bool Connected() const { return m_bConnected; }
    // Takes whatever has arrived; returns the samples so far.
    const std::vector<std::int16_t>& Poll()
    {
        std::uint8_t chunk[8192];
        ssize_t n;
        while ((n = recv(m_fd, chunk, sizeof chunk, MSG_DONTWAIT)) > 0) {
            m_bytes.insert(m_bytes.end(), chunk, chunk + n);
            const std::size_t cbWhole = m_bytes.size() & ~std::size_t{1};
            for (std::size_t i = 0; i < cbWhole; i += 2)
                m_samples.push_back(static_cast<std::int16_t>(m_bytes[i] | (m_bytes[i + 1] << 8)));
            m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<long>(cbWhole));
        }
        return m_samples;
    }

private:
    int m_fd;
    bool m_bConnected = false;
    std::vector<std::uint8_t> m_bytes;
    std::vector<std::int16_t> m_samples;
};

} // namespace apptest
