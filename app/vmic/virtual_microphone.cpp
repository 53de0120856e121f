#include "virtual_microphone.h"

#include <QMetaObject>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kSettleMs[] = {300, 1000};

bool Mentions(const std::string& strText, const char* pszName)
{
    return strText.find(pszName) != std::string::npos;
}

// Whether a capture description leaves the choice to the sound server.
bool UsesDefaultSource(const std::string& strCapture)
{
    return strCapture.empty() || strCapture == "autoaudiosrc" ||
           (strCapture.rfind("pulsesrc", 0) == 0 && !Mentions(strCapture, "device="));
}

std::string JoinNames(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

} // namespace

CVirtualMicrophone::CVirtualMicrophone(QObject* pContext, ListenersFn onListeners)
    : m_pContext(pContext), m_onListeners(std::move(onListeners))
{
}

CVirtualMicrophone::~CVirtualMicrophone()
{
    Remove();
}

std::string CVirtualMicrophone::Create()
{
    m_pClient = std::make_unique<CPulseClient>();
    if (!m_pClient->Connect("Voxreel")) {
        m_pClient.reset();
        return "no sound server answers";
    }
    RemoveLeftovers();
    const std::string strDefault = m_pClient->DefaultSourceName().value_or("");
    const auto sink = m_pClient->LoadModule(
        "module-null-sink",
        std::string("sink_name=") + kSinkName +
            " rate=16000 channels=1 channel_map=mono format=s16le"
            " sink_properties='device.description=\"Voxreel microphone feed\"'");
    if (!sink)
        return "the sound server refused the microphone's sink";
    m_nSinkModule = *sink;
    const auto source = m_pClient->LoadModule(
        "module-remap-source", std::string("master=") + kSinkName +
                                   ".monitor source_name=" + kSourceName +
                                   " channels=1 channel_map=mono master_channel_map=mono "
                                   "source_properties='device.description=\"" +
                                   kSourceDescription + "\"'");
    if (!source) {
        Remove();
        return "the sound server refused the microphone's source";
    }
    m_nSourceModule = *source;
    // A new source can become the system's default, at once or (PipeWire's
    // session manager) a moment later; naming the user's default again keeps
    // it the default for everything else.
    if (!strDefault.empty() && strDefault != kSourceName)
        m_pClient->SetDefaultSource(strDefault);
    m_pClient->WatchRecordings([this](std::uint32_t, bool) {
        QMetaObject::invokeMethod(
            m_pContext,
            [this] {
                RefreshListeners();
                // PipeWire may link a new recording to its source only after
                // its last event: look again a little later.
                for (int nMs : kSettleMs)
                    QTimer::singleShot(nMs, m_pContext, [this] { RefreshListeners(); });
            },
            Qt::QueuedConnection);
    });
    return {};
}

void CVirtualMicrophone::Remove()
{
    if (m_pClient) {
        if (m_nSourceModule != 0)
            m_pClient->UnloadModule(m_nSourceModule);
        if (m_nSinkModule != 0)
            m_pClient->UnloadModule(m_nSinkModule);
    }
    m_nSinkModule = m_nSourceModule = 0;
    m_pClient.reset(); // no more recording events from here on
    m_listeners.clear();
}

void CVirtualMicrophone::RemoveLeftovers()
{
    const auto modules = m_pClient->ListModules();
    if (!modules)
        return;
    // The source first: it reads from the sink's monitor.
    for (const char* pszModule : {"module-remap-source", "module-null-sink"}) {
        for (const CPulseClient::Module& module : *modules) {
            const bool bOurs = Mentions(module.strArgument, "source_name=voxreel_mic ") ||
                               Mentions(module.strArgument, "sink_name=voxreel_mic_sink ");
            if (module.strName == pszModule && bOurs)
                m_pClient->UnloadModule(module.nIndex);
        }
    }
}

std::string CVirtualMicrophone::RealMicrophoneFor(const std::string& strCapture)
{
    const bool bNamesOurs = Mentions(strCapture, kSourceName);
    if (!bNamesOurs && !UsesDefaultSource(strCapture))
        return {};
    CPulseClient client;
    if (!client.Connect("Voxreel"))
        return {};
    if (!bNamesOurs && client.DefaultSourceName().value_or("") != kSourceName)
        return {};
    const auto sources = client.ListSources().value_or(std::vector<CPulseClient::Source>{});
    for (const CPulseClient::Source& source : sources) {
        if (!source.bMonitor && !Mentions(source.strName, kSourceName))
            return "pulsesrc device=" + source.strName;
    }
    return "audiotestsrc is-live=true wave=silence"; // no real microphone: the call hears silence
}

void CVirtualMicrophone::RefreshListeners()
{
    if (!m_pClient)
        return;
    const auto sources = m_pClient->ListSources();
    const auto recordings = m_pClient->ListRecordings();
    if (!sources || !recordings)
        return;
    const auto ours = std::find_if(sources->begin(), sources->end(),
                                   [](const auto& s) { return s.strName == kSourceName; });
    std::vector<std::string> now;
    for (const CPulseClient::Recording& recording : *recordings) {
        if (ours != sources->end() && recording.nSource == ours->nIndex)
            now.push_back(recording.strApplication);
    }
    std::vector<std::string> started, stopped;
    for (const std::string& app : now)
        if (std::count(now.begin(), now.end(), app) >
            std::count(m_listeners.begin(), m_listeners.end(), app))
            started.push_back(app);
    for (const std::string& app : m_listeners)
        if (std::count(m_listeners.begin(), m_listeners.end(), app) >
            std::count(now.begin(), now.end(), app))
            stopped.push_back(app);
    m_listeners = now;
    std::string text;
    if (!started.empty())
        text = JoinNames(started) + " is listening to the Voxreel microphone";
    else if (!stopped.empty())
        text = JoinNames(stopped) + " stopped listening to the Voxreel microphone";
    if (!text.empty())
        m_onListeners(m_listeners, text);
}
