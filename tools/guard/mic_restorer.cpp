#include "mic_restorer.h"

#include <algorithm>
#include <map>

namespace {

// The value of key=value in a module's argument, quotes removed; "" if none.
std::string ArgumentValue(const std::string& strArgument, const std::string& strKey)
{
    std::size_t nAt = 0;
    while ((nAt = strArgument.find(strKey + "=", nAt)) != std::string::npos) {
        if (nAt == 0 || strArgument[nAt - 1] == ' ')
            break;
        ++nAt;
    }
    if (nAt == std::string::npos)
        return {};
    std::string value = strArgument.substr(nAt + strKey.size() + 1);
    value = value.substr(0, value.find(' '));
    value.erase(std::remove(value.begin(), value.end(), '"'), value.end());
    value.erase(std::remove(value.begin(), value.end(), '\''), value.end());
    return value;
}

// Where recordings go: the default source unless it is ours, else a real
// microphone, else any source that is not ours.
const CMicRestorer::Source* RescueSource(const std::vector<CMicRestorer::Source>& sources,
                                         const std::set<std::uint32_t>& ours,
                                         const std::string& strDefault)
{
    const CMicRestorer::Source* pMonitor = nullptr;
    const CMicRestorer::Source* pReal = nullptr;
    for (const CMicRestorer::Source& source : sources) {
        if (ours.count(source.nIndex) != 0)
            continue;
        if (source.strName == strDefault)
            return &source;
        const CMicRestorer::Source*& pSlot = source.bMonitor ? pMonitor : pReal;
        if (pSlot == nullptr)
            pSlot = &source;
    }
    return pReal != nullptr ? pReal : pMonitor;
}

void OnSuccess(pa_context* /*pContext*/, int nSuccess, void* pUser)
{
    *static_cast<bool*>(pUser) = nSuccess != 0;
}

} // namespace

CMicRestorer::CMicRestorer(std::vector<std::uint32_t> modules, Clock::time_point deadline)
    : m_modules(std::move(modules)), m_deadline(deadline), m_pLoop(pa_mainloop_new())
{
}

CMicRestorer::~CMicRestorer()
{
    if (m_pContext != nullptr) {
        pa_context_disconnect(m_pContext);
        pa_context_unref(m_pContext);
    }
    pa_mainloop_free(m_pLoop);
}

std::vector<std::string> CMicRestorer::Run()
{
    if (!Connect())
        return {"no sound server answered in time; the Voxreel microphone is left in place"};
    std::vector<std::uint32_t> loaded;
    const std::set<std::string> names = NamesMadeBy(&loaded);
    const std::vector<Source> sources = Sources();
    std::set<std::uint32_t> ours;
    for (const Source& source : sources) {
        const bool bOwned =
            std::find(loaded.begin(), loaded.end(), source.nOwnerModule) != loaded.end();
        // By name only when the server names no owner: a source of the same
        // name made by a newer Voxreel has an owner, and is not ours.
        const bool bNamed =
            source.nOwnerModule == PA_INVALID_INDEX && names.count(source.strName) != 0;
        if (bOwned || bNamed)
            ours.insert(source.nIndex);
    }
    const Source* pTarget = RescueSource(sources, ours, DefaultSource());
    if (!ours.empty() && pTarget != nullptr)
        MoveRecordings(ours, pTarget->nIndex);
    for (std::uint32_t nModule : loaded) {
        bool bDone = false;
        if (!Await(pa_context_unload_module(m_pContext, nModule, OnSuccess, &bDone)) || !bDone)
            m_problems.push_back("module " + std::to_string(nModule) + " could not be unloaded");
    }
    return m_problems;
}

bool CMicRestorer::Connect()
{
    m_pContext = pa_context_new(pa_mainloop_get_api(m_pLoop), "Voxreel guard");
    if (m_pContext == nullptr ||
        pa_context_connect(m_pContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return false;
    while (Clock::now() < m_deadline) {
        const pa_context_state_t state = pa_context_get_state(m_pContext);
        if (state == PA_CONTEXT_READY)
            return true;
        if (!PA_CONTEXT_IS_GOOD(state))
            return false;
        const auto remaining =
            std::chrono::duration_cast<std::chrono::microseconds>(m_deadline - Clock::now());
        if (pa_mainloop_prepare(m_pLoop, static_cast<int>(std::max<long>(remaining.count(), 0))) <
                0 ||
            pa_mainloop_poll(m_pLoop) < 0 || pa_mainloop_dispatch(m_pLoop) < 0)
            return false;
    }
    return false;
}

// Runs the main loop until the operation is done, the connection fails or
// the deadline passes.
bool CMicRestorer::Await(pa_operation* pOperation)
{
    if (pOperation == nullptr)
        return false;
    bool bDone = false;
    while (true) {
        if (pa_operation_get_state(pOperation) != PA_OPERATION_RUNNING) {
            bDone = pa_operation_get_state(pOperation) == PA_OPERATION_DONE;
            break;
        }
        const auto remaining =
            std::chrono::duration_cast<std::chrono::microseconds>(m_deadline - Clock::now());
        if (remaining.count() <= 0 || !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_pContext)))
            break;
        if (pa_mainloop_prepare(m_pLoop, static_cast<int>(remaining.count())) < 0 ||
            pa_mainloop_poll(m_pLoop) < 0 || pa_mainloop_dispatch(m_pLoop) < 0)
            break;
    }
    if (!bDone)
        pa_operation_cancel(pOperation);
    pa_operation_unref(pOperation);
    return bDone;
}

// The device names the given modules, where still loaded, were made with;
// pLoaded gets those modules, in the given order.
std::set<std::string> CMicRestorer::NamesMadeBy(std::vector<std::uint32_t>* pLoaded)
{
    std::map<std::uint32_t, std::string> arguments;
    const auto onModule = [](pa_context*, const pa_module_info* pInfo, int nEol, void* pUser) {
        if (nEol == 0 && pInfo != nullptr)
            (*static_cast<std::map<std::uint32_t, std::string>*>(pUser))[pInfo->index] =
                pInfo->argument != nullptr ? pInfo->argument : "";
    };
    if (!Await(pa_context_get_module_info_list(m_pContext, onModule, &arguments)))
        m_problems.push_back("the server's modules could not be listed");
    std::set<std::string> names;
    for (std::uint32_t nModule : m_modules) {
        const auto it = arguments.find(nModule);
        if (it == arguments.end())
            continue; // gone already
        pLoaded->push_back(nModule);
        if (const std::string strSource = ArgumentValue(it->second, "source_name");
            !strSource.empty())
            names.insert(strSource);
        if (const std::string strSink = ArgumentValue(it->second, "sink_name"); !strSink.empty())
            names.insert(strSink + ".monitor");
    }
    return names;
}

std::vector<CMicRestorer::Source> CMicRestorer::Sources()
{
    std::vector<Source> sources;
    const auto onSource = [](pa_context*, const pa_source_info* pInfo, int nEol, void* pUser) {
        if (nEol == 0 && pInfo != nullptr)
            static_cast<std::vector<Source>*>(pUser)->push_back(
                {pInfo->index, pInfo->owner_module, pInfo->name,
                 pInfo->monitor_of_sink != PA_INVALID_INDEX});
    };
    if (!Await(pa_context_get_source_info_list(m_pContext, onSource, &sources)))
        m_problems.push_back("the server's sources could not be listed");
    return sources;
}

std::string CMicRestorer::DefaultSource()
{
    std::string strName;
    const auto onInfo = [](pa_context*, const pa_server_info* pInfo, void* pUser) {
        if (pInfo != nullptr && pInfo->default_source_name != nullptr)
            *static_cast<std::string*>(pUser) = pInfo->default_source_name;
    };
    (void)Await(pa_context_get_server_info(m_pContext, onInfo, &strName));
    return strName;
}

void CMicRestorer::MoveRecordings(const std::set<std::uint32_t>& from, std::uint32_t nTo)
{
    std::vector<std::uint32_t> recordings;
    using Pair = std::pair<const std::set<std::uint32_t>*, std::vector<std::uint32_t>*>;
    Pair user{&from, &recordings};
    const auto onRecording = [](pa_context*, const pa_source_output_info* pInfo, int nEol,
                                void* pUser) {
        const auto* pPair = static_cast<Pair*>(pUser);
        if (nEol == 0 && pInfo != nullptr && pPair->first->count(pInfo->source) != 0)
            pPair->second->push_back(pInfo->index);
    };
    if (!Await(pa_context_get_source_output_info_list(m_pContext, onRecording, &user)))
        m_problems.push_back("the recordings could not be listed");
    for (std::uint32_t nRecording : recordings) {
        bool bDone = false;
        if (!Await(pa_context_move_source_output_by_index(m_pContext, nRecording, nTo, OnSuccess,
                                                          &bDone)) ||
            !bDone)
            m_problems.push_back("recording " + std::to_string(nRecording) +
                                 " could not be moved to the default microphone");
    }
}
