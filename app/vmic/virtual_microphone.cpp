#include "virtual_microphone.h"

#include <algorithm>

#include "log_categories.h"

namespace {

constexpr int kSettleMs[] = {300, 1000};
// How often, and how many times, to look for the renderer's feed in a new sink.
constexpr std::chrono::milliseconds kFeedLookTime{100};
constexpr int kFeedLooks = 30;

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

// Module arguments: the devices carry the renderer's full band, left and
// right as played. A low session priority keeps PipeWire's session manager
// from ever making them the default output or microphone while the user has
// another, so the user's default never needs naming again (which would store
// it as the user's own choice); PulseAudio keeps a chosen default anyway.
std::string SinkArguments()
{
    return std::string("sink_name=") + CVirtualMicrophone::kSinkName +
           " rate=48000 channels=2 channel_map=front-left,front-right format=s16le"
           " sink_properties='device.description=\"Voxreel microphone feed\""
           " priority.session=-1000'";
}
std::string SourceArguments()
{
    // Equal channel maps and no remixing: the source carries the sink's
    // samples unchanged, without a remap gain.
    return std::string("master=") + CVirtualMicrophone::kSinkName +
           ".monitor source_name=" + CVirtualMicrophone::kSourceName +
           " channels=2 channel_map=front-left,front-right"
           " master_channel_map=front-left,front-right remix=no"
           " source_properties='device.description=\"" +
           CVirtualMicrophone::kSourceDescription + "\" priority.session=-1000'";
}

bool IsRealMicrophone(const CPulseClient::Source& source)
{
    return !source.bMonitor && !Mentions(source.strName, CVirtualMicrophone::kSourceName);
}

// The user's microphone: the default source when it is a real one, else the
// first real one; empty when there is none.
std::string RealMicrophone(CPulseClient& client)
{
    const std::string strDefault = client.DefaultSourceName().value_or("");
    const auto sources = client.ListSources().value_or(std::vector<CPulseClient::Source>{});
    for (const CPulseClient::Source& source : sources)
        if (source.strName == strDefault && IsRealMicrophone(source))
            return source.strName;
    for (const CPulseClient::Source& source : sources)
        if (IsRealMicrophone(source))
            return source.strName;
    return {};
}

std::string JoinNames(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

} // namespace

CVirtualMicrophone::CVirtualMicrophone(ListenersFn onListeners)
    : m_onListeners(std::move(onListeners))
{
}

CVirtualMicrophone::~CVirtualMicrophone()
{
    Close();
}

void CVirtualMicrophone::Create(std::string strCapture, MadeFn onMade)
{
    m_thread.Post([this, strCapture = std::move(strCapture), onMade = std::move(onMade)] {
        Made made;
        made.strError = CreateNow();
        if (made.strError.empty()) {
            made.modules = {m_nSinkModule, m_nSourceModule};
            made.strCaptureInstead = RealMicrophoneNow(strCapture);
        }
        m_thread.Reply([onMade, made] { onMade(made); });
    });
}

void CVirtualMicrophone::Remove(RemovedFn onRemoved)
{
    m_thread.Post([this, onRemoved = std::move(onRemoved)] {
        const std::vector<std::uint32_t> removed = RemoveNow();
        if (onRemoved)
            m_thread.Reply([onRemoved, removed] { onRemoved(removed); });
    });
}

void CVirtualMicrophone::Close(RemovedFn onRemoved)
{
    m_thread.DropDelayed(); // looks for listeners and the feed are of no use now
    m_thread.Post([this] {
        m_answerTime = kClosingAnswerTime;
        if (m_pClient)
            m_pClient->SetAnswerTime(m_answerTime);
    });
    Remove(std::move(onRemoved));
    m_thread.Settle();
}

void CVirtualMicrophone::RunInTurn(std::function<Answer()> job)
{
    m_thread.Post([this, job = std::move(job)] {
        if (Answer answer = job())
            m_thread.Reply(std::move(answer));
    });
}

void CVirtualMicrophone::FindRealMicrophoneFor(std::string strCapture, FoundFn onFound)
{
    m_thread.Post([this, strCapture = std::move(strCapture), onFound = std::move(onFound)] {
        const std::string strInstead = RealMicrophoneNow(strCapture);
        m_thread.Reply([onFound, strInstead] { onFound(strInstead); });
    });
}

std::string CVirtualMicrophone::CreateNow()
{
    m_answerTime = CPulseClient::kAnswerTime;
    m_pClient = std::make_unique<CPulseClient>();
    m_pClient->SetAnswerTime(m_answerTime);
    if (!m_pClient->Connect("Voxreel")) {
        m_pClient.reset();
        return "no sound server answers";
    }
    RemoveLeftovers();
    const auto sink = m_pClient->LoadModule("module-null-sink", SinkArguments());
    if (!sink)
        return "the sound server refused the microphone's sink";
    m_nSinkModule = *sink;
    const auto source = m_pClient->LoadModule("module-remap-source", SourceArguments());
    if (!source) {
        RemoveNow();
        return "the sound server refused the microphone's source";
    }
    m_nSourceModule = *source;
    qCInfo(lcAudio) << "Voxreel microphone made on" << m_pClient->ServerName().value_or("?").c_str()
                    << "sink module" << m_nSinkModule << "source module" << m_nSourceModule;
    // Called on libpulse's thread.
    m_pClient->WatchRecordings(
        [this](std::uint32_t, bool) { m_thread.Post([this] { OnRecordingsChanged(); }); });
    // After the answer to this making: the owner notes the modules, and
    // sets the feed going, sooner.
    m_thread.Post([this] { WakeSinkOnceFed(kFeedLooks); });
    return {};
}

void CVirtualMicrophone::OnRecordingsChanged()
{
    RefreshListeners();
    // PipeWire may link a new recording to its source only after its last
    // event: look again a little later.
    for (int nMs : kSettleMs)
        m_thread.PostAfter(std::chrono::milliseconds(nMs), [this] { RefreshListeners(); });
}

// PulseAudio's null sink sleeps in two-second periods until a stream asks
// for less; a stream that comes later is only heard from the sink's next
// wake-up, so the first second or two of the mix would pile up and go stale.
// Suspending and resuming the sink once the renderer's feed plays into it
// (connected and uncorked: a corked stream asks nothing of the sink yet)
// restarts its timing at the feed's latency. The pause is a hole in any
// recording, so a sink that somebody records from is left alone: a
// recording asks the sink for its own short latency, and the sink was
// never asleep in long periods. PipeWire's null sink has no such period,
// and a suspended node there may stay silent: left alone.
void CVirtualMicrophone::WakeSinkOnceFed(int nTriesLeft)
{
    if (!m_pClient || nTriesLeft <= 0 ||
        m_pClient->ServerName().value_or("").find("PipeWire") != std::string::npos)
        return;
    const std::vector<CPulseClient::Playback> feeds = PlaybacksIntoOurs();
    if (std::none_of(feeds.begin(), feeds.end(), [](const auto& p) { return !p.bCorked; })) {
        m_thread.PostAfter(kFeedLookTime, [this, nTriesLeft] { WakeSinkOnceFed(nTriesLeft - 1); });
        return;
    }
    if (const auto recordings = RecordingsOnOurs(); !recordings || !recordings->empty()) {
        qCDebug(lcAudio) << "the mix plays into" << kSinkName
                         << "- recorded from already, left awake";
        return;
    }
    qCDebug(lcAudio) << "the mix plays into" << kSinkName << "- waking the null sink";
    m_pClient->SuspendSink(kSinkName, true);
    m_pClient->SuspendSink(kSinkName, false);
}

std::vector<std::uint32_t> CVirtualMicrophone::RemoveNow()
{
    std::vector<std::uint32_t> removed;
    if (m_pClient) {
        qCInfo(lcAudio) << "removing the Voxreel microphone's modules" << m_nSourceModule
                        << m_nSinkModule;
        if (m_nSourceModule != kNoModule) {
            MoveRecordingsAway();
            m_pClient->UnloadModule(m_nSourceModule);
            removed.push_back(m_nSourceModule);
        }
        // Whatever still plays into the sink is moved to the default output
        // by both servers: the renderer stops its feed first. Ending the feed
        // from here instead leaves a starting pulsesink hung on PipeWire.
        if (m_nSinkModule != kNoModule) {
            m_pClient->UnloadModule(m_nSinkModule);
            removed.push_back(m_nSinkModule);
        }
    }
    m_nSinkModule = m_nSourceModule = kNoModule;
    m_pClient.reset(); // no more recording events from here on
    m_listeners.clear();
    return removed;
}

// An application recording from the Voxreel microphone goes on hearing the
// user's microphone rather than a device that is gone (which PulseAudio
// would end the recording for, and PipeWire leave unlinked a while).
void CVirtualMicrophone::MoveRecordingsAway()
{
    const auto recordings = RecordingsOnOurs();
    const std::string strReal = RealMicrophone(*m_pClient);
    if (!recordings || strReal.empty())
        return;
    for (const CPulseClient::Recording& recording : *recordings) {
        qCInfo(lcAudio) << "moving" << recording.strApplication.c_str() << "to" << strReal.c_str();
        m_pClient->MoveRecording(recording.nIndex, strReal);
    }
}

std::vector<CPulseClient::Playback> CVirtualMicrophone::PlaybacksIntoOurs()
{
    const auto nSink = m_pClient->SinkIndex(kSinkName);
    auto playbacks = m_pClient->ListPlaybacks();
    if (!nSink || !playbacks)
        return {};
    std::erase_if(*playbacks, [&](const CPulseClient::Playback& p) { return p.nSink != *nSink; });
    return *playbacks;
}

// The recordings on the Voxreel microphone; nothing when the server does not say.
std::optional<std::vector<CPulseClient::Recording>> CVirtualMicrophone::RecordingsOnOurs()
{
    const auto sources = m_pClient->ListSources();
    auto recordings = m_pClient->ListRecordings();
    if (!sources || !recordings)
        return std::nullopt;
    const auto ours = std::find_if(sources->begin(), sources->end(),
                                   [](const auto& s) { return s.strName == kSourceName; });
    std::erase_if(*recordings, [&](const CPulseClient::Recording& r) {
        return ours == sources->end() || r.nSource != ours->nIndex;
    });
    return recordings;
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
            if (module.strName == pszModule && bOurs) {
                qCInfo(lcAudio) << "removing a left-over" << pszModule << module.nIndex;
                m_pClient->UnloadModule(module.nIndex);
            }
        }
    }
}

std::string CVirtualMicrophone::RealMicrophoneNow(const std::string& strCapture)
{
    const bool bNamesOurs = Mentions(strCapture, kSourceName);
    if (!bNamesOurs && !UsesDefaultSource(strCapture))
        return {};
    CPulseClient client;
    client.SetAnswerTime(m_answerTime);
    if (!client.Connect("Voxreel"))
        return {};
    if (!bNamesOurs && client.DefaultSourceName().value_or("") != kSourceName)
        return {};
    const std::string strReal = RealMicrophone(client);
    // No real microphone: the call hears silence.
    return strReal.empty() ? "audiotestsrc is-live=true wave=silence"
                           : "pulsesrc device=" + strReal;
}

void CVirtualMicrophone::RefreshListeners()
{
    if (!m_pClient)
        return;
    const auto recordings = RecordingsOnOurs();
    if (!recordings)
        return;
    std::vector<std::string> now;
    for (const CPulseClient::Recording& recording : *recordings)
        now.push_back(recording.strApplication);
    std::vector<std::string> started, stopped;
    for (const std::string& app : now)
        if (std::count(now.begin(), now.end(), app) >
            std::count(m_listeners.begin(), m_listeners.end(), app))
            started.push_back(app);
    for (const std::string& app : m_listeners)
        if (std::count(m_listeners.begin(), m_listeners.end(), app) >
            std::count(now.begin(), now.end(), app))
            stopped.push_back(app);
    if (!started.empty() || !stopped.empty())
        qCInfo(lcAudio) << "recording from the Voxreel microphone:" << now.size() << "streams";
    m_listeners = now;
    std::string text;
    if (!started.empty())
        text = JoinNames(started) + " is listening to the Voxreel microphone";
    else if (!stopped.empty())
        text = JoinNames(stopped) + " stopped listening to the Voxreel microphone";
    if (!text.empty())
        m_thread.Reply([this, listeners = m_listeners, text] { m_onListeners(listeners, text); });
}
