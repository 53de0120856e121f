// The program's side of its guard: starts voxreel-guard in a session of its
// own with a socket as its standard input, writes it each event of the undo
// journal, and says "clean exit" when the program closes normally. Closing
// the socket in any other way (the process dying) tells the guard to undo.
// The UI thread only.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

#include "guard_protocol.h"
#include "undo_journal.h"

class CGuardLink final : public IUndoJournal {
public:
    static constexpr const char* kProgramName = "voxreel-guard";

    CGuardLink() = default;
    ~CGuardLink() override;
    CGuardLink(const CGuardLink&) = delete;
    CGuardLink& operator=(const CGuardLink&) = delete;

    // Starts the guard program; an error text, or empty once it runs.
    std::string Start(const std::filesystem::path& program);
    bool IsRunning() const { return m_fd >= 0; }
    pid_t GuardId() const { return m_pid; }
    // Nothing is left to undo: the guard ends without touching anything.
    void CleanExit();

    void CallSwitched(std::int32_t nCallId) override;
    void CallReleased(std::int32_t nCallId) override;
    void ModuleLoaded(std::uint32_t nIndex) override;
    void ModuleUnloaded(std::uint32_t nIndex) override;

private:
    void Send(GuardEvent event, std::uint32_t nValue);
    void Close();

    int m_fd = -1; // our end of the guard's standard input
    pid_t m_pid = 0;
};
