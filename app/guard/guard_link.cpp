#include "guard_link.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

extern char** environ;

namespace {

// Spawn attributes for the guard: a session of its own (no terminal's
// signals, no kill of our process group), no blocked signals, default
// actions, whatever the program set for itself.
class CSpawnAttributes {
public:
    CSpawnAttributes()
    {
        posix_spawnattr_init(&m_attr);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&m_attr, &none);
        posix_spawnattr_setsigdefault(&m_attr, &all);
        posix_spawnattr_setflags(&m_attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETSIGDEF);
    }
    ~CSpawnAttributes() { posix_spawnattr_destroy(&m_attr); }
    const posix_spawnattr_t* Get() const { return &m_attr; }

private:
    posix_spawnattr_t m_attr;
};

} // namespace

CGuardLink::~CGuardLink()
{
    Close();
}

std::string CGuardLink::Start(const std::filesystem::path& program)
{
    Close();
    // A socket rather than a pipe: writing to a guard that is gone must fail
    // (MSG_NOSIGNAL), not raise SIGPIPE. Both ends close on exec, so no other
    // child holds the guard's input open after we are gone.
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return std::string("no socket for the guard: ") + std::strerror(errno);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const CSpawnAttributes attributes;
    std::string strProgram = program.string();
    char* argv[] = {strProgram.data(), nullptr};
    const int nError =
        posix_spawn(&m_pid, strProgram.c_str(), &actions, attributes.Get(), argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (nError != 0) {
        close(fds[0]);
        m_pid = 0;
        return "cannot start " + strProgram + ": " + std::strerror(nError);
    }
    m_fd = fds[0];
    return {};
}

void CGuardLink::CleanExit()
{
    Send(GuardEvent::kCleanExit, 0);
    Close();
}

void CGuardLink::CallSwitched(std::int32_t nCallId)
{
    Send(GuardEvent::kCallSwitched, static_cast<std::uint32_t>(nCallId));
}

void CGuardLink::CallReleased(std::int32_t nCallId)
{
    Send(GuardEvent::kCallReleased, static_cast<std::uint32_t>(nCallId));
}

void CGuardLink::ModuleLoaded(std::uint32_t nIndex)
{
    Send(GuardEvent::kModuleLoaded, nIndex);
}

void CGuardLink::ModuleUnloaded(std::uint32_t nIndex)
{
    Send(GuardEvent::kModuleUnloaded, nIndex);
}

void CGuardLink::Send(GuardEvent event, std::uint32_t nValue)
{
    if (m_fd < 0)
        return;
    const std::string line = FormatGuardLine(event, nValue);
    ssize_t nSent;
    do {
        nSent = send(m_fd, line.data(), line.size(), MSG_NOSIGNAL);
    } while (nSent < 0 && errno == EINTR);
    if (nSent != static_cast<ssize_t>(line.size())) {
        std::fprintf(stderr, "voxreel: the guard is gone; a crash now would leave the call "
                             "switched to Voxreel\n");
        Close();
    }
}

void CGuardLink::Close()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}
