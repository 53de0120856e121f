// The Voxreel microphone's devices on the test's sound server (PulseAudio,
// or PipeWire with VOXREEL_SOUND_SERVER=pipewire): made and removed,
// leftovers of a killed run cleaned up and nobody else's devices touched,
// the full band carried unchanged, listeners reported and moved to the real
// microphone when the devices go, the user's stored defaults left alone,
// capture from our own microphone refused, and a sound server that stands
// still never holding up the window.
#include <QCoreApplication>
#include <QProcess>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <optional>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLoggingCategory>
#include <QTimer>

#include "signal_kit.h"
#include "sound_server_thread.h"
#include "virtual_microphone.h"
#include "voxreel/gst_handle.h"
#include "../player/wire_recorder.h"
#include "window_testkit.h"

using namespace apptest;
using voxreel::test::SoundServerPid;

namespace {

// The lines of a file, or none when it does not exist.
std::vector<std::string> Lines(const fs::path& path)
{
    std::vector<std::string> lines;
    std::istringstream text(ReadText(path));
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> Without(std::vector<std::string> lines, const std::string& what)
{
    std::erase_if(lines, [&](const std::string& line) { return line.find(what) != line.npos; });
    return lines;
}

// Raw 48 kHz stereo 16-bit samples: a tone of nLeft Hz on the left and one
// of nRight Hz on the right, both at nAmplitude.
fs::path MakeStereoTone(const fs::path& path, double dSeconds, int nLeft, int nRight,
                        int nAmplitude)
{
    std::ofstream file(path, std::ios::binary);
    for (int n = 0; n < static_cast<int>(dSeconds * 48000); ++n)
        for (int nFreq : {nLeft, nRight}) {
            const auto nSample = static_cast<std::int16_t>(
                std::lround(nAmplitude * std::sin(2 * M_PI * nFreq * n / 48000)));
            file.write(reinterpret_cast<const char*>(&nSample), 2);
        }
    return path;
}

// One channel of interleaved stereo samples.
std::vector<std::int16_t> Channel(const std::vector<std::int16_t>& stereo, int nChannel)
{
    std::vector<std::int16_t> samples;
    for (std::size_t i = nChannel; i < stereo.size(); i += 2)
        samples.push_back(stereo[i]);
    return samples;
}

// The median of a tone's amplitude over 50 ms windows of [nFrom, nTo) at
// 48 kHz: a level that a scheduling hiccup of the test machine cannot pull
// down, as it would the level over the whole span.
double MedianToneAmplitude48k(const std::vector<std::int16_t>& samples, std::size_t nFrom,
                              std::size_t nTo, int nFreq)
{
    constexpr std::size_t nWindow = 2400;
    std::vector<double> levels;
    for (std::size_t n = nFrom; n + nWindow <= nTo; n += nWindow)
        levels.push_back(ToneAmplitude(samples, n, n + nWindow, nFreq, 48000));
    std::nth_element(levels.begin(), levels.begin() + levels.size() / 2, levels.end());
    return levels[levels.size() / 2];
}

// The sound server stands still (SIGSTOP) while this lives.
class CStoppedServer {
public:
    explicit CStoppedServer(pid_t pid) : m_pid(pid) { ::kill(m_pid, SIGSTOP); }
    ~CStoppedServer() { ::kill(m_pid, SIGCONT); }
    CStoppedServer(const CStoppedServer&) = delete;
    CStoppedServer& operator=(const CStoppedServer&) = delete;

private:
    pid_t m_pid;
};

// The microphone's answers, run as they come until the one asked for has.
CVirtualMicrophone::Made Create(CVirtualMicrophone& mic, const std::string& strCapture = {})
{
    std::optional<CVirtualMicrophone::Made> made;
    mic.Create(strCapture, [&](const CVirtualMicrophone::Made& answer) { made = answer; });
    if (!WaitFor([&] { return made.has_value(); }, 30s))
        return {"no answer in the test's time", {}, {}};
    return *made;
}
std::vector<std::uint32_t> Remove(CVirtualMicrophone& mic)
{
    std::optional<std::vector<std::uint32_t>> removed;
    mic.Remove([&](const std::vector<std::uint32_t>& modules) { removed = modules; });
    EXPECT_TRUE(WaitFor([&] { return removed.has_value(); }, 30s));
    return removed.value_or(std::vector<std::uint32_t>{});
}
std::string RealMicrophoneFor(CVirtualMicrophone& mic, const std::string& strCapture)
{
    std::optional<std::string> instead;
    mic.FindRealMicrophoneFor(strCapture,
                              [&](const std::string& strAnswer) { instead = strAnswer; });
    EXPECT_TRUE(WaitFor([&] { return instead.has_value(); }, 30s)) << strCapture;
    return instead.value_or("no answer");
}

class VirtualMicrophone : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = TempFolder("vmic");
        ASSERT_TRUE(m_client.Connect("Voxreel test"));
    }
    void TearDown() override
    {
        for (QProcess* pProcess : {&m_recorder, &m_player}) {
            pProcess->kill();
            pProcess->waitForFinished();
        }
        fs::remove_all(m_folder);
    }

    // Records a source as raw 16-bit samples, named as an application.
    void Record(const char* pszSource, int nRate, int nChannels, const char* pszApp = "Meeting app")
    {
        m_recorder.start("parec", {"-d", pszSource, "--client-name", pszApp, "--rate",
                                   QString::number(nRate), "--channels", QString::number(nChannels),
                                   "--format=s16le", "--raw", "--latency-msec=20",
                                   QString::fromStdString(RecordingPath().string())});
    }
    fs::path RecordingPath() const { return m_folder / "recording.raw"; }
    std::vector<std::int16_t> Recording() const { return Recorded(RecordingPath(), 0); }
    // The name of the source an application records from; empty when none.
    std::string SourceOf(const std::string& strApp)
    {
        const auto sources = m_client.ListSources().value_or(std::vector<CPulseClient::Source>{});
        for (const auto& recording :
             m_client.ListRecordings().value_or(std::vector<CPulseClient::Recording>{}))
            for (const auto& source : sources)
                if (recording.strApplication == strApp && recording.nSource == source.nIndex)
                    return source.strName;
        return {};
    }
    // Waits for nMin samples more than there are now, then gives where the
    // new ones start.
    std::optional<std::size_t> AwaitMore(std::size_t nMin)
    {
        const std::size_t nFrom = Recording().size();
        if (!WaitFor([&] { return Recording().size() >= nFrom + nMin; }))
            return std::nullopt;
        return nFrom;
    }

    fs::path m_folder;
    CPulseClient m_client;
    QProcess m_recorder, m_player;

    std::vector<std::string> m_listeners;
    std::vector<std::string> m_texts;
    CVirtualMicrophone m_mic{[this](const auto& listeners, const std::string& text) {
        m_listeners = listeners;
        m_texts.push_back(text);
    }};
};

} // namespace

// Jobs run one at a time in the order posted, delayed ones in the order
// they fall due; replies come on the owner's thread in the order made, and
// Settle runs those of every job posted before it; delayed jobs still
// waiting go with the thread, unrun.
TEST(SoundServerThread, KeepsTheOrderOfJobsAndReplies)
{
    const std::thread::id owner = std::this_thread::get_id();
    std::vector<int> replies;
    bool bElsewhere = false, bOverlapped = false, bDroppedRan = false;
    {
        CSoundServerThread thread;
        std::atomic<int> nRunning{0};
        const auto reply = [&](int n) {
            thread.Reply([&, n] {
                bElsewhere |= std::this_thread::get_id() != owner;
                replies.push_back(n);
            });
        };
        thread.PostAfter(200ms, [&] { reply(201); });
        thread.PostAfter(100ms, [&] { reply(200); });
        for (int n = 0; n < 50; ++n) {
            thread.Post([&, n] {
                bOverlapped |= nRunning.fetch_add(1) != 0;
                std::this_thread::yield();
                reply(n);
                nRunning.fetch_sub(1);
            });
        }
        thread.Settle();
        ASSERT_EQ(replies.size(), 50U);
        for (int n = 0; n < 50; ++n)
            EXPECT_EQ(replies[n], n);
        ASSERT_TRUE(WaitFor([&] { return replies.size() == 52; }));
        EXPECT_EQ(replies[50], 200);
        EXPECT_EQ(replies[51], 201);
        thread.PostAfter(1h, [&] { bDroppedRan = true; });
    }
    EXPECT_FALSE(bElsewhere);
    EXPECT_FALSE(bOverlapped);
    EXPECT_FALSE(bDroppedRan);
}

// What a start finds on the sound server: its devices are made once, and
// the cleanup before that takes a killed run's devices away and leaves
// everybody else's alone, even when named like ours.
TEST_F(VirtualMicrophone, MadeOnceAndOnlyALeftoverRemoved)
{
    const struct {
        const char* pszName;
        std::vector<QStringList> loads; // pactl load-module arguments
        bool bOurs;
    } found[] = {
        {"a killed run's devices",
         {{"module-null-sink", "sink_name=voxreel_mic_sink", "rate=16000"},
          {"module-remap-source", "master=voxreel_mic_sink.monitor", "source_name=voxreel_mic",
           "channels=1"}},
         true},
        {"others' devices named alike",
         {{"module-null-sink", "sink_name=voxreel_mic_sink_spare"},
          {"module-remap-source", "master=voxreel_mic_sink_spare.monitor",
           "source_name=voxreel_mic_spare"}},
         false},
    };
    // Our modules, by the names in their arguments.
    const auto oursLoaded = [] {
        const std::string modules = Pactl({"list", "short", "modules"});
        return Occurrences(modules, "sink_name=voxreel_mic_sink ") +
               Occurrences(modules, "source_name=voxreel_mic ");
    };
    // By name and arguments: PipeWire gives a removed module's index to the
    // next one loaded.
    const auto isLoaded = [](const QStringList& load) {
        const QString line = '\t' + load.first() + '\t' + load.mid(1).join(' ') + '\t';
        return Pactl({"list", "short", "modules"}).find(line.toStdString()) != std::string::npos;
    };
    for (const auto& devices : found) {
        SCOPED_TRACE(devices.pszName);
        std::vector<std::string> loaded;
        for (const QStringList& load : devices.loads) {
            std::string strIndex = Pactl(QStringList{"load-module"} + load);
            strIndex.erase(strIndex.find_last_not_of('\n') + 1);
            ASSERT_TRUE(isLoaded(load)) << load.join(' ').toStdString();
            loaded.push_back(strIndex);
        }
        for (int nCycle = 0; nCycle < 3; ++nCycle) {
            const CVirtualMicrophone::Made made = Create(m_mic);
            ASSERT_EQ(made.strError, "");
            EXPECT_EQ(made.modules.size(), 2U);
            EXPECT_EQ(oursLoaded(), 2);
            const std::string sources = Pactl({"list", "short", "sources"});
            EXPECT_EQ(Occurrences(sources, "voxreel_mic\t"), 1) << sources;
            for (const QStringList& load : devices.loads)
                EXPECT_EQ(isLoaded(load), !devices.bOurs)
                    << load.join(' ').toStdString() << " cycle " << nCycle;
            EXPECT_EQ(Remove(m_mic).size(), 2U);
            EXPECT_EQ(oursLoaded(), 0);
        }
        for (const std::string& strIndex : loaded)
            Pactl({"unload-module", QString::fromStdString(strIndex)});
    }
}

// A client whose request went unanswered while the server stood still is
// of use again once the server answers.
TEST_F(VirtualMicrophone, AClientOutlivesAStalledServer)
{
    const pid_t server = SoundServerPid();
    ASSERT_GT(server, 0);
    m_client.SetAnswerTime(std::chrono::milliseconds(300));
    {
        CStoppedServer stopped(server);
        EXPECT_FALSE(m_client.ListModules());
        EXPECT_FALSE(m_client.ListSources());
    }
    EXPECT_TRUE(WaitFor([&] { return m_client.ListSources().has_value(); }));
}

TEST_F(VirtualMicrophone, ReportsWhoListens)
{
    ASSERT_EQ(Create(m_mic).strError, "");
    QProcess recorder;
    recorder.start("parec", {"-d", "voxreel_mic", "--client-name=Meeting app", "/dev/null"});
    ASSERT_TRUE(WaitFor([&] { return !m_texts.empty(); }));
    EXPECT_EQ(m_texts.back(), "Meeting app is listening to the Voxreel microphone");
    EXPECT_EQ(m_listeners, std::vector<std::string>{"Meeting app"});
    recorder.kill();
    recorder.waitForFinished();
    ASSERT_TRUE(WaitFor([&] { return m_texts.size() == 2; }));
    EXPECT_EQ(m_texts.back(), "Meeting app stopped listening to the Voxreel microphone");
    EXPECT_TRUE(m_listeners.empty());
}

// PipeWire's session manager stores the defaults a user names. With no
// default named, the Voxreel microphone coming, being recorded from and
// going must leave its stored state as it was: the defaults, and no stream
// pinned to a device.
TEST_F(VirtualMicrophone, LeavesTheStoredDefaultsAlone)
{
    const char* pszState = std::getenv("VOXREEL_SOUND_STATE");
    if (pszState == nullptr)
        GTEST_SKIP() << "the sound server stores no defaults of its own";
    const fs::path defaults = fs::path(pszState) / "wireplumber" / "default-nodes";
    const fs::path streams = fs::path(pszState) / "wireplumber" / "restore-stream";
    const std::vector<std::string> defaultsBefore = Lines(defaults);
    // Tests that name a default run later, or on a server of their own.
    ASSERT_EQ(ReadText(defaults).find("voxreel_mic"), std::string::npos) << ReadText(defaults);
    const std::vector<std::string> targetsBefore = Without(Lines(streams), ":volume");

    ASSERT_EQ(Create(m_mic).strError, "");
    Record("voxreel_mic", kRate, 1);
    ASSERT_TRUE(WaitFor([&] { return SourceOf("Meeting app") == "voxreel_mic"; }));
    EXPECT_EQ(Pactl({"get-default-source"}), "voxreel_tone\n");
    EXPECT_EQ(Pactl({"get-default-sink"}), "voxreel_null\n");
    Remove(m_mic);
    ASSERT_TRUE(WaitFor([&] { return SourceOf("Meeting app") == "voxreel_tone"; }));

    // Stored state is written a while after a change; a default named and a
    // volume set now are written with (or after) anything Voxreel made it
    // store.
    Pactl({"set-default-sink", "voxreel_null"});
    Pactl({"set-sink-volume", "voxreel_null", "50%"});
    ASSERT_TRUE(WaitFor([&] {
        const std::string text = ReadText(defaults), volumes = ReadText(streams);
        return text.find("default.configured.audio.sink=voxreel_null") != text.npos &&
               volumes.find("voxreel_null:channelVolumes=0.125;0.125;") != volumes.npos;
    }));
    // The file's heading comes with the marker when there was no file.
    const auto withoutMarker = [](const std::vector<std::string>& lines) {
        return Without(Without(lines, "default.configured.audio.sink"), "[default-nodes]");
    };
    EXPECT_EQ(withoutMarker(Lines(defaults)), withoutMarker(defaultsBefore));
    for (const std::string& line : Lines(streams)) {
        if (line.find(":target=") != line.npos) {
            EXPECT_NE(std::find(targetsBefore.begin(), targetsBefore.end(), line),
                      targetsBefore.end())
                << line;
        }
    }
}

namespace {

// How often the microphone has woken its null sink, from its debug lines.
std::atomic<int> g_nWakes{0};
void CountWakes(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtDebugMsg && text.contains("waking the null sink"))
        ++g_nWakes;
}

} // namespace

// A feed that is connected but corked asks nothing of PulseAudio's null
// sink, so waking the sink for it would leave the sink asleep in long
// periods once it plays: the wake waits until the feed plays.
TEST_F(VirtualMicrophone, WakesTheSinkOnlyOnceTheFeedPlays)
{
    if (m_client.ServerName().value_or("").find("PipeWire") != std::string::npos)
        GTEST_SKIP() << "PipeWire's null sink has no long periods";
    InitMedia();
    QLoggingCategory::setFilterRules("voxreel.audio.debug=true");
    g_nWakes = 0;
    const QtMessageHandler previous = qInstallMessageHandler(CountWakes);
    // Made first, as loading its plugins may take a while: the microphone
    // looks at its feeds for 3 s after it is made.
    CElementPtr pFeed(
        gst_parse_launch("audiotestsrc ! pulsesink device=voxreel_mic_sink", nullptr));
    ASSERT_TRUE(pFeed);
    ASSERT_EQ(Create(m_mic).strError, "");
    // A non-live source prerolls in PAUSED: the stream is made, corked.
    gst_element_set_state(pFeed.get(), GST_STATE_PAUSED);
    EXPECT_TRUE(WaitFor([] {
        return Pactl({"list", "short", "sink-inputs"}).find("\t") != std::string::npos;
    }));
    // Several of the microphone's looks at its feeds.
    WaitFor([] { return false; }, 700ms);
    EXPECT_EQ(g_nWakes, 0) << "woken for a corked feed";
    gst_element_set_state(pFeed.get(), GST_STATE_PLAYING);
    EXPECT_TRUE(WaitFor([] { return g_nWakes == 1; }));
    gst_element_set_state(pFeed.get(), GST_STATE_NULL);
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules({});
}

TEST_F(VirtualMicrophone, NeverCapturesFromItself)
{
    const CVirtualMicrophone::Made made = Create(m_mic, "pulsesrc device=voxreel_mic");
    ASSERT_EQ(made.strError, "");
    Pactl({"load-module", "module-null-sink", "sink_name=other_mic_stand_in"});
    Pactl({"load-module", "module-remap-source", "master=other_mic_stand_in.monitor",
           "source_name=other_mic"});
    // The services' test tone is the user's default microphone.
    const std::string strDefault = "pulsesrc device=voxreel_tone";
    EXPECT_EQ(made.strCaptureInstead, strDefault); // asked with the making
    EXPECT_EQ(RealMicrophoneFor(m_mic, "pulsesrc device=voxreel_mic"), strDefault);
    EXPECT_EQ(RealMicrophoneFor(m_mic, "pulsesrc device=other_mic"), "");
    EXPECT_EQ(RealMicrophoneFor(m_mic, "autoaudiosrc"), ""); // the default is not ours
    Pactl({"set-default-source", "voxreel_mic"});
    ASSERT_TRUE(WaitFor([] { return Pactl({"get-default-source"}) == "voxreel_mic\n"; }));
    EXPECT_EQ(RealMicrophoneFor(m_mic, "autoaudiosrc"), strDefault); // the first real one
    EXPECT_EQ(RealMicrophoneFor(m_mic, ""), strDefault);
}

// The 20 ms frames of a 48 kHz channel, from the first that carries the
// tone to the last whole one, in which the tone is missing.
int FramesWithoutTheTone(const std::vector<std::int16_t>& samples, int nFreq, double dLevel)
{
    constexpr std::size_t nFrame = 960;
    std::size_t n = 0;
    while (n + nFrame <= samples.size() &&
           ToneAmplitude(samples, n, n + nFrame, nFreq, 48000) < dLevel)
        n += nFrame;
    int nMissing = 0;
    for (; n + nFrame <= samples.size(); n += nFrame)
        nMissing += ToneAmplitude(samples, n, n + nFrame, nFreq, 48000) < dLevel;
    return nMissing;
}

// A tone played into the sink comes out of the source at 48 kHz, each
// channel on its own side at the level it was played at, and a recording
// that was there before the tone began hears it without a break.
TEST_F(VirtualMicrophone, CarriesTheFullBandInStereoUnchanged)
{
    constexpr int kHigh = 15000, kLow = 300, kLevel = 16384, kHalfSecond = 48000;
    ASSERT_EQ(Create(m_mic).strError, "");
    Record("voxreel_mic", 48000, 2);
    ASSERT_TRUE(AwaitMore(kHalfSecond / 5)); // the recording runs: the next stream is late
    const fs::path tone = MakeStereoTone(m_folder / "tone.raw", 20, kHigh, kLow, kLevel);
    m_player.start("paplay", {"--raw", "--rate=48000", "--channels=2", "--format=s16le", "-d",
                              "voxreel_mic_sink", QString::fromStdString(tone.string())});
    // Once the tone is heard, a whole second of it; each channel is measured
    // on its last half second.
    ASSERT_TRUE(WaitFor([&] {
        const std::vector<std::int16_t> left = Channel(Recording(), 0);
        return left.size() > kHalfSecond / 2 &&
               ToneAmplitude(left, left.size() - kHalfSecond / 2, left.size(), kHigh, 48000) >
                   kLevel / 2;
    }));
    const auto nFrom = AwaitMore(4 * kHalfSecond);
    ASSERT_TRUE(nFrom);
    const std::vector<std::int16_t> recording = Recording();
    const std::vector<std::int16_t> left = Channel(recording, 0), right = Channel(recording, 1);
    const std::size_t nFrame = *nFrom / 2 + kHalfSecond;
    const struct {
        const std::vector<std::int16_t>& samples;
        int nFreq, nOtherFreq;
        const char* pszSide;
    } sides[] = {{left, kHigh, kLow, "left"}, {right, kLow, kHigh, "right"}};
    for (const auto& side : sides) {
        EXPECT_NEAR(MedianToneAmplitude48k(side.samples, nFrame, nFrame + kHalfSecond, side.nFreq),
                    kLevel, 0.03 * kLevel)
            << side.pszSide;
        EXPECT_LT(
            MedianToneAmplitude48k(side.samples, nFrame, nFrame + kHalfSecond, side.nOtherFreq),
            0.01 * kLevel)
            << side.pszSide;
    }
    // The microphone wakes PulseAudio's null sink with a suspend, which must
    // spare a recording. PipeWire, where nothing of ours acts, itself drops
    // a 20 ms frame now and then as a new stream joins a recorded node.
    if (m_client.ServerName().value_or("").find("PipeWire") == std::string::npos) {
        EXPECT_EQ(FramesWithoutTheTone(right, kLow, kLevel / 2.0), 0);
    }
}

// An application recording from the Voxreel microphone goes on recording
// from the user's microphone (the services' 440 Hz tone) when the devices
// are removed or their owner goes.
TEST_F(VirtualMicrophone, RecordingsMoveToTheRealMicrophoneWhenTheDevicesGo)
{
    for (const bool bDestroyed : {false, true}) {
        std::optional<CVirtualMicrophone> mic(std::in_place,
                                              [](const auto&, const std::string&) {});
        ASSERT_EQ(Create(*mic).strError, "");
        Record("voxreel_mic", kRate, 1);
        ASSERT_TRUE(WaitFor([&] { return SourceOf("Meeting app") == "voxreel_mic"; }))
            << bDestroyed;
        if (bDestroyed)
            mic.reset();
        else
            Remove(*mic);
        EXPECT_TRUE(WaitFor([&] { return SourceOf("Meeting app") == "voxreel_tone"; }))
            << bDestroyed;
        EXPECT_TRUE(WaitFor([&] {
            const std::vector<std::int16_t> samples = Recording();
            return samples.size() > kRate / 4 &&
                   ToneAmplitude(samples, samples.size() - kRate / 4, samples.size(), 440) > 1000;
        })) << bDestroyed;
        EXPECT_EQ(m_recorder.state(), QProcess::Running) << bDestroyed;
        m_recorder.kill();
        m_recorder.waitForFinished();
        fs::remove(RecordingPath());
    }
}

namespace {

// The microphone's tone, mixed, at the Voxreel microphone.
class MicrophoneChain : public MicrophoneWindowTest {
protected:
    static bool MicrophoneMade()
    {
        return Pactl({"list", "short", "sources"}).find("voxreel_mic") != std::string::npos;
    }
    std::vector<std::int16_t> Mic() const { return Channel(Recorded(MicRecording(), 0), 0); }
    // The microphone's tone, mixed, comes out of the Voxreel microphone.
    bool MixPlaysIntoIt()
    {
        StartRecorder();
        return WaitFor(
            [&] {
                const std::vector<std::int16_t> mic = Mic();
                return mic.size() > 12000 &&
                       ToneAmplitude(mic, mic.size() - 12000, mic.size(), kMicFreq, 48000) > 500;
            },
            30s);
    }
};

} // namespace

// Turned off in the settings, the Voxreel microphone goes; turned on again,
// it is made again and the restarted transmission's mix plays into it.
TEST_F(MicrophoneChain, SettingsTurnItOffAndOnAgain)
{
    CVoxreelDlg& dlg = Open();
    ASSERT_TRUE(WaitFor(MicrophoneMade));
    for (const bool bOn : {false, true}) {
        m_statusTexts.clear();
        QTimer::singleShot(0, [bOn] {
            auto* pSettings = static_cast<QDialog*>(QApplication::activeModalWidget());
            pSettings->findChild<QCheckBox*>("virtualMicrophone")->setChecked(bOn);
            pSettings->accept();
        });
        dlg.OnSettings();
        ASSERT_TRUE(WaitFor([bOn] { return MicrophoneMade() == bOn; })) << bOn;
        ASSERT_TRUE(WaitFor([&] { return Showed("Recording on a microphone started"); })) << bOn;
    }
    EXPECT_TRUE(MixPlaysIntoIt()) << "the mix does not play into the Voxreel microphone made again";
    EXPECT_FALSE(ShowedPrefix("The Voxreel microphone is not available"));
}

// The window opens while the sound server stands still: its timers keep
// running all along, and once the server answers again the Voxreel
// microphone is made, the mix plays into it, and no trouble is reported.
TEST_F(MicrophoneChain, TheWindowAnswersWhileTheSoundServerStandsStill)
{
    constexpr auto kStill = 5s;
    const pid_t server = SoundServerPid();
    ASSERT_GT(server, 0);
    using Clock = std::chrono::steady_clock;
    std::vector<Clock::time_point> ticks{Clock::now()};
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ticks.push_back(Clock::now()); });
    timer.start(100);
    {
        CStoppedServer stopped(server);
        Open();
        const Clock::time_point end = ticks.front() + kStill;
        WaitFor([&] { return Clock::now() >= end; }, kStill + 5s);
    }
    ticks.push_back(Clock::now());
    Clock::duration longestGap{};
    for (std::size_t i = 1; i < ticks.size(); ++i)
        longestGap = std::max(longestGap, ticks[i] - ticks[i - 1]);
    EXPECT_LT(longestGap, kStill / 2) << "the window stood still with the sound server";

    ASSERT_TRUE(WaitFor(MicrophoneMade, 30s));
    ASSERT_TRUE(MixPlaysIntoIt()) << "the mix does not play into the Voxreel microphone";
    EXPECT_FALSE(ShowedPrefix("The Voxreel microphone is not available"));
    EXPECT_FALSE(ShowedPrefix("Cannot record audio"));
}

// The settings dialog opens while the sound server stands still; its device
// lists come later, to a dialog that may be gone by then. Should the dialog
// wait for the server, a thread lets the server go on after 5 s.
TEST_F(MicrophoneChain, SettingsOpenWhileTheSoundServerStandsStill)
{
    CVoxreelDlg& dlg = Open();
    ASSERT_TRUE(WaitFor(MicrophoneMade, 30s));
    const pid_t server = SoundServerPid();
    ASSERT_GT(server, 0);
    std::atomic<bool> bResumed{false};
    bool bOpenedWhileStill = false;
    std::promise<void> opened;
    {
        CStoppedServer stopped(server);
        std::thread rescue([&, shown = opened.get_future()] {
            if (shown.wait_for(5s) == std::future_status::timeout)
                bResumed = true;
            ::kill(server, SIGCONT);
        });
        QTimer::singleShot(0, [&] {
            bOpenedWhileStill = !bResumed;
            opened.set_value();
            if (auto* pSettings = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                pSettings->reject();
        });
        dlg.OnSettings();
        rescue.join();
    }
    EXPECT_TRUE(bOpenedWhileStill) << "the settings waited for the sound server";
}

// The settings dialog on this test's sound server: its devices, and a new
// microphone taken at once.
TEST_F(WindowTest, SettingsOfferTheDevicesAndTakeAMicrophoneAtOnce)
{
    unsetenv("VOXREEL_CAPTURE_SOURCE"); // the settings decide
    Pactl({"load-module", "module-null-sink", "sink_name=headset"});
    CVoxreelDlg& dlg = Open();
    ASSERT_TRUE(WaitFor([&] { return Showed("Recording on a microphone started"); }));
    m_statusTexts.clear();
    std::string strChosen;
    QTimer::singleShot(0, [&] {
        auto* pSettings = static_cast<QDialog*>(QApplication::activeModalWidget());
        auto* pMicrophones = pSettings->findChild<QComboBox*>("microphones");
        auto* pOutputs = pSettings->findChild<QComboBox*>("outputs");
        EXPECT_EQ(pMicrophones->itemText(0).toStdString(), "System default");
        EXPECT_TRUE(WaitFor([&] { return pOutputs->findData("pulsesink device=headset") >= 1; }));
        pMicrophones->setCurrentIndex(pMicrophones->findData("pulsesrc device=headset.monitor"));
        strChosen = pMicrophones->currentData().toString().toStdString();
        pSettings->accept();
    });
    dlg.OnSettings();
    setenv("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true wave=silence", 1);
    ASSERT_EQ(strChosen, "pulsesrc device=headset.monitor");
    EXPECT_EQ(m_settings.GetProfileString("CaptureSource", ""), strChosen);
    EXPECT_TRUE(WaitFor([&] {
        return Showed("Recording on a microphone stopped") &&
               Showed("Recording on a microphone started");
    }));
    gchar* pszCapture = nullptr;
    g_object_get(dlg.Player().Renderer(), "capture-source", &pszCapture, nullptr);
    EXPECT_STREQ(pszCapture, strChosen.c_str());
    g_free(pszCapture);
}

// Last in this file, in a suite of its own so that it runs last: it cuts the
// test's sound server off for good.
class SoundServerGone : public MicrophoneChain {};

TEST_F(SoundServerGone, ThePortGoesOnStreaming)
{
    CVoxreelDlg& dlg = Open();
    CWireRecorder port;
    ASSERT_TRUE(port.Connect(m_nPort));
    ASSERT_TRUE(WaitFor([&] { return port.Samples() > kRate / 2; }));
    Pactl({"unload-module", "module-native-protocol-unix"}); // every client cut off
    const std::size_t nBefore = port.Samples();
    EXPECT_TRUE(WaitFor([&] { return port.Samples() > nBefore + 2 * kRate; }));
    dlg.close(); // and closing does not wait on the sound server
}
