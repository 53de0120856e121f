// A GLib source on the main context that was the thread default where it was
// made: Wake, from any thread, has that context's loop call the function
// once on its own thread; wakes that come before the call are folded into it.
// Qt's event loop on Linux runs GLib's default main context, so for an object
// made on the UI thread the call comes from the window's own loop.
#pragma once

#include <glib.h>

#include <functional>

class CMainContextWakeup {
public:
    explicit CMainContextWakeup(std::function<void()> onWake);
    // On the context's thread: no call comes once it has returned.
    ~CMainContextWakeup();
    CMainContextWakeup(const CMainContextWakeup&) = delete;
    CMainContextWakeup& operator=(const CMainContextWakeup&) = delete;

    void Wake();

private:
    static gboolean Dispatch(GSource* pSource, GSourceFunc, gpointer);

    const std::function<void()> m_onWake; // set at construction, called on the context's thread
    GSource* const m_pSource;             // ours; its own lock makes Wake thread-safe
};
