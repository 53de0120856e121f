#include "pulse_client.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "log_categories.h"

namespace {

// One request's answer: filled on libpulse's thread, read by the caller. It
// lives on as long as either side holds it, since an answer may come after
// the caller has given up waiting.
struct CAnswer {
    std::mutex mutex;
    std::condition_variable done;
    bool bDone = false; // guarded by mutex
    bool bOk = false;   // guarded by mutex
    // Runs on libpulse's thread, under its lock; cleared under that lock when
    // the caller stops waiting, since it writes into the caller's variables.
    std::function<void(const void*)> onItem;
    std::atomic<bool>* pStalled = nullptr; // the client's; it outlives libpulse's thread

    void Finish(bool bSuccess)
    {
        pStalled->store(false);
        std::lock_guard lock(mutex);
        bDone = true;
        bOk = bSuccess;
        done.notify_all();
    }
};
using AnswerPtr = std::shared_ptr<CAnswer>;

// A heap copy of the pointer travels as libpulse's userdata; the last call
// (end of list, or the single success call) frees it.
void* Hold(const AnswerPtr& pAnswer)
{
    return new AnswerPtr(pAnswer);
}
template <typename Info> void OnListItem(pa_context*, const Info* pInfo, int nEol, void* pData)
{
    auto* pHeld = static_cast<AnswerPtr*>(pData);
    if (nEol == 0 && pInfo != nullptr) {
        if ((*pHeld)->onItem)
            (*pHeld)->onItem(pInfo);
        return;
    }
    (*pHeld)->Finish(nEol > 0);
    delete pHeld;
}
void OnSuccess(pa_context*, int nSuccess, void* pData)
{
    auto* pHeld = static_cast<AnswerPtr*>(pData);
    (*pHeld)->Finish(nSuccess != 0);
    delete pHeld;
}
void OnIndex(pa_context*, std::uint32_t nIndex, void* pData)
{
    auto* pHeld = static_cast<AnswerPtr*>(pData);
    if ((*pHeld)->onItem)
        (*pHeld)->onItem(&nIndex);
    (*pHeld)->Finish(nIndex != PA_INVALID_INDEX);
    delete pHeld;
}
void OnServerInfo(pa_context*, const pa_server_info* pInfo, void* pData)
{
    auto* pHeld = static_cast<AnswerPtr*>(pData);
    if ((*pHeld)->onItem && pInfo != nullptr)
        (*pHeld)->onItem(pInfo);
    (*pHeld)->Finish(pInfo != nullptr);
    delete pHeld;
}

std::string Text(const char* psz)
{
    return psz != nullptr ? psz : "";
}

} // namespace

CPulseClient::CPulseClient() : m_pLoop(pa_threaded_mainloop_new())
{
}

CPulseClient::~CPulseClient()
{
    if (m_pLoop == nullptr)
        return;
    pa_threaded_mainloop_stop(m_pLoop);
    if (m_pContext != nullptr) {
        pa_context_disconnect(m_pContext);
        pa_context_unref(m_pContext);
    }
    pa_threaded_mainloop_free(m_pLoop);
}

bool CPulseClient::Connect(const char* pszClientName)
{
    if (m_pLoop == nullptr || pa_threaded_mainloop_start(m_pLoop) < 0)
        return false;
    pa_threaded_mainloop_lock(m_pLoop);
    m_pContext = pa_context_new(pa_threaded_mainloop_get_api(m_pLoop), pszClientName);
    pa_context_set_state_callback(
        m_pContext,
        [](pa_context*, void* pLoop) {
            pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(pLoop), 0);
        },
        m_pLoop);
    const bool bStarted =
        pa_context_connect(m_pContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
    pa_threaded_mainloop_unlock(m_pLoop);
    if (!bStarted) {
        qCWarning(lcAudio) << "sound server: cannot connect:"
                           << pa_strerror(pa_context_errno(m_pContext));
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + m_answerTime;
    while (std::chrono::steady_clock::now() < deadline) {
        const pa_context_state_t state = pa_context_get_state(m_pContext);
        if (state == PA_CONTEXT_READY)
            return true;
        if (!PA_CONTEXT_IS_GOOD(state)) {
            qCWarning(lcAudio) << "sound server: connection refused:"
                               << pa_strerror(pa_context_errno(m_pContext));
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    qCWarning(lcAudio) << "sound server: no answer to the connection";
    return false;
}

bool CPulseClient::IsConnected() const
{
    return m_pContext != nullptr && pa_context_get_state(m_pContext) == PA_CONTEXT_READY;
}

// Starts a request under libpulse's lock and waits for its answer, at most
// the answer time. start(context, answer) returns the operation or nullptr.
template <typename Start> bool CPulseClient::Await(Start start)
{
    if (!IsConnected() || m_bStalled.load())
        return false;
    auto pAnswer = std::make_shared<CAnswer>();
    pAnswer->pStalled = &m_bStalled;
    pa_threaded_mainloop_lock(m_pLoop);
    pa_operation* pOperation = start(m_pContext, pAnswer);
    pa_threaded_mainloop_unlock(m_pLoop);
    if (pOperation == nullptr)
        return false;
    pa_operation_unref(pOperation);
    bool bAnswered = false, bOk = false;
    {
        std::unique_lock lock(pAnswer->mutex);
        bAnswered = pAnswer->done.wait_for(lock, m_answerTime, [&] { return pAnswer->bDone; });
        bOk = pAnswer->bOk;
    }
    if (!bAnswered) {
        qCWarning(lcAudio) << "sound server: a request had no answer in time";
        // Under libpulse's lock no answer can come in between: one that came
        // since the wait ended has already cleared the mark.
        pa_threaded_mainloop_lock(m_pLoop);
        pAnswer->onItem = nullptr;
        {
            std::lock_guard lock(pAnswer->mutex);
            if (!pAnswer->bDone)
                m_bStalled.store(true);
        }
        pa_threaded_mainloop_unlock(m_pLoop);
    }
    return bAnswered && bOk;
}

std::optional<std::vector<CPulseClient::Module>> CPulseClient::ListModules()
{
    std::vector<Module> modules; // filled on libpulse's thread before the answer ends
    const bool bOk = Await([&](pa_context* pContext, const AnswerPtr& pAnswer) {
        pAnswer->onItem = [&modules](const void* p) {
            const auto* pInfo = static_cast<const pa_module_info*>(p);
            modules.push_back({pInfo->index, Text(pInfo->name), Text(pInfo->argument)});
        };
        return pa_context_get_module_info_list(pContext, OnListItem<pa_module_info>, Hold(pAnswer));
    });
    return bOk ? std::optional(modules) : std::nullopt;
}

std::optional<std::uint32_t> CPulseClient::LoadModule(const std::string& strName,
                                                      const std::string& strArgs)
{
    std::uint32_t nIndex = PA_INVALID_INDEX;
    const bool bOk = Await([&](pa_context* pContext, const AnswerPtr& pAnswer) {
        pAnswer->onItem = [&nIndex](const void* p) {
            nIndex = *static_cast<const std::uint32_t*>(p);
        };
        return pa_context_load_module(pContext, strName.c_str(), strArgs.c_str(), OnIndex,
                                      Hold(pAnswer));
    });
    return bOk ? std::optional(nIndex) : std::nullopt;
}

bool CPulseClient::SuspendSink(const std::string& strName, bool bSuspend)
{
    return Await([&](pa_context* pContext, const AnswerPtr& pAnswer) {
        return pa_context_suspend_sink_by_name(pContext, strName.c_str(), bSuspend ? 1 : 0,
                                               OnSuccess, Hold(pAnswer));
    });
}

bool CPulseClient::UnloadModule(std::uint32_t nIndex)
{
    return Await([&](pa_context* pContext, const AnswerPtr& pAnswer) {
        return pa_context_unload_module(pContext, nIndex, OnSuccess, Hold(pAnswer));
    });
}

std::optional<std::vector<CPulseClient::Source>> CPulseClient::ListSources()
{
    std::vector<Source> sources;
    const bool bOk = Await([&](pa_context* pContext, const AnswerPtr& pAnswer) {
        pAnswer->onItem = [&sources](const void* p) {
            const auto* pInfo = static_cast<const pa_source_info*>(p);
            sources.push_back({pInfo->index, Text(pInfo->name), Text(pInfo->description),
                               pInfo->monitor_of_sink != PA_INVALID_INDEX});
        };
        return pa_context_get_source_info_list(pContext, OnListItem<pa_source_info>, Hold(pAnswer));
    });
    return bOk ? std::optional(sources) : std::nullopt;
}

std::optional<std::string> CPulseClient::DefaultSourceName()
{
    return ServerInfoText([](const pa_server_info& info) { return info.default_source_name; });
}

std::optional<std::string> CPulseClient::ServerName()
{
    return ServerInfoText([](const pa_server_info& info) { return info.server_name; });
}

std::optional<std::string> CPulseClient::ServerInfoText(const char* (*field)(const pa_server_info&))
{
    std::string strText;
    const bool bOk = Await([&](pa_context* pContext, const AnswerPtr& pAnswer) {
        pAnswer->onItem = [&strText, field](const void* p) {
            strText = Text(field(*static_cast<const pa_server_info*>(p)));
        };
        return pa_context_get_server_info(pContext, OnServerInfo, Hold(pAnswer));
    });
    return bOk ? std::optional(strText) : std::nullopt;
}

bool CPulseClient::MoveRecording(std::uint32_t nRecording, const std::string& strSource)
{
    return Await([&](pa_context* pContext, const AnswerPtr& pAnswer) {
        return pa_context_move_source_output_by_name(pContext, nRecording, strSource.c_str(),
                                                     OnSuccess, Hold(pAnswer));
    });
}

std::optional<std::vector<CPulseClient::Recording>> CPulseClient::ListRecordings()
{
    std::vector<Recording> recordings;
    const bool bOk = Await([&](pa_context* pContext, const AnswerPtr& pAnswer) {
        pAnswer->onItem = [&recordings](const void* p) {
            const auto* pInfo = static_cast<const pa_source_output_info*>(p);
            const char* pszApp = pa_proplist_gets(pInfo->proplist, PA_PROP_APPLICATION_NAME);
            recordings.push_back(
                {pInfo->index, pInfo->source, Text(pszApp != nullptr ? pszApp : pInfo->name)});
        };
        return pa_context_get_source_output_info_list(pContext, OnListItem<pa_source_output_info>,
                                                      Hold(pAnswer));
    });
    return bOk ? std::optional(recordings) : std::nullopt;
}

std::optional<std::vector<CPulseClient::Playback>> CPulseClient::ListPlaybacks()
{
    std::vector<Playback> playbacks;
    const bool bOk = Await([&](pa_context* pContext, const AnswerPtr& pAnswer) {
        pAnswer->onItem = [&playbacks](const void* p) {
            const auto* pInfo = static_cast<const pa_sink_input_info*>(p);
            playbacks.push_back({pInfo->index, pInfo->sink, pInfo->corked != 0});
        };
        return pa_context_get_sink_input_info_list(pContext, OnListItem<pa_sink_input_info>,
                                                   Hold(pAnswer));
    });
    return bOk ? std::optional(playbacks) : std::nullopt;
}

std::optional<std::uint32_t> CPulseClient::SinkIndex(const std::string& strName)
{
    std::uint32_t nIndex = PA_INVALID_INDEX;
    const bool bOk = Await([&](pa_context* pContext, const AnswerPtr& pAnswer) {
        pAnswer->onItem = [&nIndex](const void* p) {
            nIndex = static_cast<const pa_sink_info*>(p)->index;
        };
        return pa_context_get_sink_info_by_name(pContext, strName.c_str(), OnListItem<pa_sink_info>,
                                                Hold(pAnswer));
    });
    return bOk && nIndex != PA_INVALID_INDEX ? std::optional(nIndex) : std::nullopt;
}

bool CPulseClient::EndPlayback(std::uint32_t nPlayback)
{
    return Await([&](pa_context* pContext, const AnswerPtr& pAnswer) {
        return pa_context_kill_sink_input(pContext, nPlayback, OnSuccess, Hold(pAnswer));
    });
}

bool CPulseClient::WatchRecordings(RecordingFn onRecording)
{
    if (!IsConnected())
        return false;
    pa_threaded_mainloop_lock(m_pLoop);
    m_onRecording = std::move(onRecording);
    pa_context_set_subscribe_callback(
        m_pContext,
        [](pa_context*, pa_subscription_event_type_t type, std::uint32_t nIndex, void* pSelf) {
            const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
            const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
            if (facility != PA_SUBSCRIPTION_EVENT_SOURCE_OUTPUT ||
                kind == PA_SUBSCRIPTION_EVENT_CHANGE)
                return;
            auto* pClient = static_cast<CPulseClient*>(pSelf);
            if (pClient->m_onRecording)
                pClient->m_onRecording(nIndex, kind == PA_SUBSCRIPTION_EVENT_NEW);
        },
        this);
    pa_operation* pOperation =
        pa_context_subscribe(m_pContext, PA_SUBSCRIPTION_MASK_SOURCE_OUTPUT, nullptr, nullptr);
    pa_threaded_mainloop_unlock(m_pLoop);
    if (pOperation == nullptr)
        return false;
    pa_operation_unref(pOperation);
    return true;
}
