#include "undo_journal.h"

namespace {

class CNoJournal final : public IUndoJournal {
public:
    void CallSwitched(std::int32_t) override {}
    void CallReleased(std::int32_t) override {}
    void ModuleLoaded(std::uint32_t) override {}
    void ModuleUnloaded(std::uint32_t) override {}
};

CNoJournal g_noJournal;
IUndoJournal* g_pJournal = &g_noJournal; // the UI thread's only

} // namespace

IUndoJournal& UndoJournal()
{
    return *g_pJournal;
}

void SetUndoJournal(IUndoJournal* pJournal)
{
    g_pJournal = pJournal != nullptr ? pJournal : &g_noJournal;
}
