// Where the program notes what its guard must undo should it die: the call
// switches it made and the sound server modules it loaded. Noted as each is
// done or undone; the UI thread only.
#pragma once

#include <cstdint>

class IUndoJournal {
public:
    virtual ~IUndoJournal() = default;
    // Noted as the switch is asked for: the client may make it and the
    // program die before the answer is read.
    virtual void CallSwitched(std::int32_t nCallId) = 0;
    // Switched back by the program, refused by the client, or the call ended.
    virtual void CallReleased(std::int32_t nCallId) = 0;
    virtual void ModuleLoaded(std::uint32_t nIndex) = 0;
    virtual void ModuleUnloaded(std::uint32_t nIndex) = 0;
};

// The process's journal: the guard's link while a guard runs, else one that
// keeps nothing (as when tests build the window in their own process).
IUndoJournal& UndoJournal();
// pJournal must outlive its use; null goes back to keeping nothing.
void SetUndoJournal(IUndoJournal* pJournal);
