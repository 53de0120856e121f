// The Voxreel microphone on the test's sound server (PulseAudio, or PipeWire
// with VOXREEL_SOUND_SERVER=pipewire): its devices, its sound, its listeners,
// and a sound server that stands still never holding up the window.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLoggingCategory>
#include <QTimer>

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <numeric>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>

#include "signal_kit.h"
#include "sound_server_thread.h"
#include "virtual_microphone.h"
#include "voxreel/gst_handle.h"

using namespace apptest;
using voxreel::test::SoundServerPid;

namespace {

// The lines of a file that contain none of the words.
std::vector<std::string> LinesWithout(const fs::path& path,
                                      std::initializer_list<const char*> words)
{
    std::vector<std::string> lines;
    std::istringstream text(ReadText(path));
    for (std::string line; std::getline(text, line);)
        if (std::none_of(words.begin(), words.end(),
                         [&](const char* psz) { return line.find(psz) != line.npos; }))
            lines.push_back(line);
    return lines;
}

// One channel of a raw 48 kHz stereo recording.
std::vector<std::int16_t> Channel(const fs::path& raw, int nChannel)
{
    callreport::CRecording stereo;
    callreport::ReadRaw(raw.string(), 48000, 1, stereo); // interleaved, as read
    std::vector<std::int16_t> samples;
    for (std::size_t i = nChannel; i < stereo.m_samples.size(); i += 2)
        samples.push_back(stereo.m_samples[i]);
    return samples;
}

// A tone's amplitude in each 20 ms frame of [nFrom, nTo) of a 48 kHz channel.
std::vector<double> FrameLevels(const std::vector<std::int16_t>& samples, int nFreq,
                                std::size_t nFrom = 0, std::size_t nTo = SIZE_MAX)
{
    std::vector<double> levels;
    for (std::size_t n = nFrom; n + 960 <= std::min(nTo, samples.size()); n += 960)
        levels.push_back(callreport::ToneAmplitude(&samples[n], 960, 48000, nFreq));
    return levels;
}

// A level that a scheduling hiccup of the test machine cannot pull down.
double Median(std::vector<double> levels)
{
    std::nth_element(levels.begin(), levels.begin() + levels.size() / 2, levels.end());
    return levels.empty() ? 0 : levels[levels.size() / 2];
}

// The sound server stands still (SIGSTOP) while this lives.
struct CStoppedServer {
    explicit CStoppedServer(pid_t pid) : m_pid(pid) { ::kill(m_pid, SIGSTOP); }
    ~CStoppedServer() { ::kill(m_pid, SIGCONT); }
    pid_t m_pid;
};

// Runs the answers as they come until the one asked for has come.
template <typename T, typename Ask> T Await(Ask ask)
{
    std::optional<T> answer;
    ask([&](const T& value) { answer = value; });
    EXPECT_TRUE(WaitFor([&] { return answer.has_value(); }, 30s));
    return answer.value_or(T{});
}
CVirtualMicrophone::Made Create(CVirtualMicrophone& mic, const std::string& strCapture = {})
{
    return Await<CVirtualMicrophone::Made>([&](auto done) { mic.Create(strCapture, done); });
}
std::vector<std::uint32_t> Remove(CVirtualMicrophone& mic)
{
    return Await<std::vector<std::uint32_t>>([&](auto done) { mic.Remove(done); });
}
std::string RealMicrophoneFor(CVirtualMicrophone& mic, const std::string& strCapture)
{
    return Await<std::string>([&](auto done) { mic.FindRealMicrophoneFor(strCapture, done); });
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
        m_recorder.Stop();
        fs::remove_all(m_folder);
    }
    bool Texted(const std::string& text) const
    {
        return std::find(m_texts.begin(), m_texts.end(), text) != m_texts.end();
    }

    fs::path m_folder;
    CPulseClient m_client;
    CRecorder m_recorder;

    std::vector<std::string> m_listeners, m_texts;
    CVirtualMicrophone m_mic{[this](const auto& listeners, const std::string& text) {
        m_listeners = listeners;
        m_texts.push_back(text);
    }};
};

// How often the microphone has woken its null sink, from its debug lines.
std::atomic<int> g_nWakes{0};
void CountWakes(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    g_nWakes += type == QtDebugMsg && text.contains("waking the null sink");
}

// The window with the Voxreel microphone, the test microphone's tone mixed into it.
class MicrophoneChain : public MicrophoneWindowTest {
protected:
    static bool MicrophoneMade()
    {
        return Pactl({"list", "short", "sources"}).find("voxreel_mic") != std::string::npos;
    }
    // The microphone's tone, mixed, comes out of the Voxreel microphone.
    bool MixPlaysIntoIt()
    {
        m_recorder.Stop();
        StartRecorder();
        return WaitFor([&] { return EndsWithTone(m_recorder.Recording(), kMicFreq, 500); }, 30s);
    }
    // Opens the settings and hands them to act; true when they came back
    // before a rescue let a stopped sound server go on after 5 s.
    bool Settings(CVoxreelDlg& dlg, const std::function<void(QDialog&)>& act)
    {
        std::atomic<bool> bResumed{false};
        std::promise<void> done;
        std::thread rescue([&, returned = done.get_future()] {
            bResumed = returned.wait_for(5s) == std::future_status::timeout;
            ::kill(m_server, SIGCONT);
        });
        QTimer::singleShot(0, [&] {
            if (auto* pSettings = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                act(*pSettings);
        });
        dlg.OnSettings();
        const bool bInTime = !bResumed;
        done.set_value();
        rescue.join();
        return bInTime;
    }

    const pid_t m_server = SoundServerPid();
};

} // namespace

// Jobs run one at a time in the order posted; replies come on the owner's
// thread in the order made, and Settle runs those of every job posted before
// it; delayed jobs still waiting go with the thread, unrun.
TEST(SoundServerThread, KeepsTheOrderOfJobsAndReplies)
{
    const std::thread::id owner = std::this_thread::get_id();
    std::vector<int> replies, expected(50);
    std::iota(expected.begin(), expected.end(), 0);
    CSoundServerThread thread;
    std::atomic<int> nRunning{0};
    for (int n = 0; n < 50; ++n)
        thread.Post([&, n] {
            EXPECT_EQ(nRunning.fetch_add(1), 0) << "jobs overlapped";
            std::this_thread::yield();
            thread.Reply([&, n] {
                EXPECT_EQ(std::this_thread::get_id(), owner) << "a reply ran elsewhere";
                replies.push_back(n);
            });
            nRunning.fetch_sub(1);
        });
    thread.Settle();
    EXPECT_EQ(replies, expected);
    thread.PostAfter(1h, [] { ADD_FAILURE() << "a delayed job ran as its thread went"; });
}

// Each start makes the devices once, after taking away a killed run's devices
// and leaving others' alone, even when named like ours. An application
// recording from the Voxreel microphone is reported as a listener, and goes on
// recording from the user's microphone (the services' 440 Hz tone) when the
// devices go; the user's defaults stay as they were, and a capture from the
// Voxreel microphone is turned to the real one.
TEST_F(VirtualMicrophone, LeftoversGoAndRecordingsMoveToTheRealMicrophone)
{
    // Where the sound server stores the defaults a user names (PipeWire's
    // session manager): nothing of ours may be stored there.
    const char* pszState = std::getenv("VOXREEL_SOUND_STATE");
    const fs::path defaults = fs::path(pszState ? pszState : "/nonexistent") / "wireplumber";
    // Without the marker written below, and the file's heading that comes with it.
    const auto storedDefaults = [&] {
        return LinesWithout(defaults / "default-nodes", {"[", "audio.sink"});
    };
    const std::vector<std::string> defaultsBefore = storedDefaults();
    const std::vector<std::string> targetsBefore =
        LinesWithout(defaults / "restore-stream", {":volume"});
    ASSERT_EQ(ReadText(defaults / "default-nodes").find("voxreel_mic"), std::string::npos);

    // A killed run's devices, then others' named like ours.
    for (const char* pszLoad :
         {"module-null-sink sink_name=voxreel_mic_sink rate=16000",
          "module-remap-source master=voxreel_mic_sink.monitor source_name=voxreel_mic channels=1",
          "module-null-sink sink_name=voxreel_mic_sink_spare",
          "module-remap-source master=voxreel_mic_sink_spare.monitor "
          "source_name=voxreel_mic_spare"})
        Pactl((QString("load-module ") + pszLoad).split(' '));
    // Our modules, by the names in their arguments.
    const auto oursLoaded = [] {
        const std::string modules = Pactl({"list", "short", "modules"});
        return Occurrences(modules, "sink_name=voxreel_mic_sink ") +
               Occurrences(modules, "source_name=voxreel_mic ");
    };
    // By name: PipeWire gives a removed module's index to the next one.
    const auto othersLoaded = [] {
        return Occurrences(Pactl({"list", "short", "sinks"}), "voxreel_mic_sink_spare\t") +
                   Occurrences(Pactl({"list", "short", "sources"}), "voxreel_mic_spare\t") ==
               2;
    };
    ASSERT_EQ(oursLoaded(), 2) << "no leftover to remove";
    ASSERT_TRUE(othersLoaded());
    const auto madeOnce = [&] {
        EXPECT_EQ(oursLoaded(), 2);
        EXPECT_EQ(Occurrences(Pactl({"list", "short", "sources"}), "voxreel_mic\t"), 1);
        EXPECT_TRUE(othersLoaded()) << "a foreign device was removed";
    };

    const std::string strReal = "pulsesrc device=voxreel_tone";
    const CVirtualMicrophone::Made made = Create(m_mic, "pulsesrc device=voxreel_mic");
    ASSERT_EQ(made.strError, "");
    madeOnce();
    EXPECT_EQ(made.strCaptureInstead, strReal);
    m_recorder.Start("voxreel_mic", kRate, 1, m_folder / "recording.raw",
                     {"--client-name", "Meeting app"});
    ASSERT_TRUE(
        WaitFor([&] { return Texted("Meeting app is listening to the Voxreel microphone"); }));
    QProcess other;
    other.start("parec", {"-d", "voxreel_mic", "--client-name=Other app", "/dev/null"});
    EXPECT_TRUE(WaitFor([&] { return m_listeners.size() == 2; }));
    other.kill();
    other.waitForFinished();
    EXPECT_TRUE(
        WaitFor([&] { return Texted("Other app stopped listening to the Voxreel microphone"); }));
    EXPECT_EQ(m_listeners, std::vector<std::string>{"Meeting app"});
    EXPECT_EQ(RealMicrophoneFor(m_mic, "pulsesrc device=voxreel_tone"), "");
    EXPECT_EQ(RealMicrophoneFor(m_mic, "autoaudiosrc"), ""); // the default is not ours
    EXPECT_EQ(Pactl({"get-default-source"}), "voxreel_tone\n");
    EXPECT_EQ(Pactl({"get-default-sink"}), "voxreel_null\n");

    EXPECT_EQ(Remove(m_mic).size(), 2U);
    EXPECT_EQ(oursLoaded(), 0);
    EXPECT_TRUE(othersLoaded()) << "a foreign device was removed";
    EXPECT_TRUE(WaitFor([&] { return EndsWithTone(m_recorder.Recording(), 440, 1000); }));
    EXPECT_TRUE(m_recorder.Running());

    if (pszState != nullptr) {
        // Stored state is written a while after a change: a default named and
        // a volume set now are written with or after anything we made it store.
        Pactl({"set-default-sink", "voxreel_null"});
        Pactl({"set-sink-volume", "voxreel_null", "50%"});
        ASSERT_TRUE(WaitFor([&] {
            const std::string text = ReadText(defaults / "default-nodes");
            return text.find("default.configured.audio.sink=voxreel_null") != text.npos &&
                   ReadText(defaults / "restore-stream")
                           .find("voxreel_null:channelVolumes=0.125;0.125;") != std::string::npos;
        }));
        EXPECT_EQ(storedDefaults(), defaultsBefore);
        for (const std::string& line : LinesWithout(defaults / "restore-stream", {":volume"}))
            EXPECT_TRUE(line.find(":target=") == line.npos ||
                        std::count(targetsBefore.begin(), targetsBefore.end(), line) > 0)
                << line;
    }
    // With the Voxreel microphone the default, the first real one is taken.
    ASSERT_EQ(Create(m_mic).strError, "");
    madeOnce();
    Pactl({"set-default-source", "voxreel_mic"});
    ASSERT_TRUE(WaitFor([] { return Pactl({"get-default-source"}) == "voxreel_mic\n"; }));
    EXPECT_EQ(RealMicrophoneFor(m_mic, "autoaudiosrc"), strReal);
    EXPECT_EQ(RealMicrophoneFor(m_mic, ""), strReal);
}

// A tone fed into the sink comes out of the source at 48 kHz, each channel
// on its own side at the level it was played at (PipeWire itself drops a
// 20 ms frame now and then as a new stream joins a recorded node: levels are
// medians). PulseAudio's null sink sleeps in long periods unless woken: a
// sink recorded from before the feed began is never woken with a suspend;
// with nobody recording, it is woken once a feed plays into it; a connected
// but corked feed asks nothing of it, so the wake waits until the feed plays.
TEST_F(VirtualMicrophone, CarriesTheFullBandInStereoAndWakesTheSinkOnceFed)
{
    constexpr int kHigh = 15000, kLow = 300, kLevel = 16384, kSecond = 48000;
    InitMedia();
    QLoggingCategory::setFilterRules("voxreel.audio.debug=true");
    const QtMessageHandler previous = qInstallMessageHandler(CountWakes);
    // Made first, as loading its plugins may take a while: the microphone
    // looks at its feeds for 3 s after it is made. Its 2 s buffer, as a
    // player's, rides out a hiccup of the test machine.
    const std::string strSide = " volume=0.5 ! audio/x-raw,format=S16LE,rate=48000,channels=1 ! ";
    CElementPtr pFeed(gst_parse_launch(
        ("interleave name=i ! audioconvert ! pulsesink device=voxreel_mic_sink buffer-time=2000000 "
         "audiotestsrc freq=" +
         std::to_string(kHigh) + strSide + "i.sink_0 audiotestsrc freq=" + std::to_string(kLow) +
         strSide + "i.sink_1")
            .c_str(),
        nullptr));
    ASSERT_TRUE(pFeed);
    ASSERT_EQ(Create(m_mic).strError, "");
    m_recorder.Start("voxreel_mic", 48000, 2, m_folder / "recording.raw");
    // The recording runs: the tone's stream comes later.
    const auto recorded = [&] { return m_recorder.Recording().m_samples.size(); };
    ASSERT_TRUE(WaitFor([&] { return recorded() > kSecond / 10; }));
    gst_element_set_state(pFeed.get(), GST_STATE_PLAYING);
    ASSERT_TRUE(WaitFor([&] {
        const std::vector<double> levels = FrameLevels(Channel(m_recorder.File(), 0), kHigh);
        return !levels.empty() && levels.back() > kLevel / 2;
    }));
    // Once the tone is heard, two seconds more: each side is measured on the last.
    const std::size_t nFrom = recorded();
    ASSERT_TRUE(WaitFor([&] { return recorded() >= nFrom + 2 * kSecond; }));
    const std::size_t nStart = nFrom + kSecond;
    for (const int nSide : {0, 1}) {
        SCOPED_TRACE(nSide == 0 ? "left" : "right");
        const std::vector<std::int16_t> side = Channel(m_recorder.File(), nSide);
        const int nFreq = nSide == 0 ? kHigh : kLow, nOther = nSide == 0 ? kLow : kHigh;
        EXPECT_NEAR(Median(FrameLevels(side, nFreq, nStart, nStart + kSecond)), kLevel,
                    0.03 * kLevel);
        EXPECT_LT(Median(FrameLevels(side, nOther, nStart, nStart + kSecond)), 0.01 * kLevel);
    }
    gst_element_set_state(pFeed.get(), GST_STATE_NULL);
    if (m_client.ServerName().value_or("").find("PipeWire") == std::string::npos) {
        EXPECT_EQ(g_nWakes, 0) << "woken while recorded from"; // a suspend would cut it

        // Made again with nobody recording, a new feed made first.
        m_recorder.Stop();
        pFeed.reset(gst_parse_launch("audiotestsrc ! pulsesink device=voxreel_mic_sink", nullptr));
        EXPECT_EQ(Remove(m_mic).size(), 2U);
        ASSERT_EQ(Create(m_mic).strError, "");
        gst_element_set_state(pFeed.get(), GST_STATE_PAUSED); // prerolled: the stream made, corked
        EXPECT_TRUE(WaitFor([] {
            return Pactl({"list", "short", "sink-inputs"}).find('\t') != std::string::npos;
        }));
        WaitFor([] { return false; }, 700ms); // several of the microphone's looks at its feeds
        EXPECT_EQ(g_nWakes, 0) << "woken for a corked feed";
        gst_element_set_state(pFeed.get(), GST_STATE_PLAYING);
        EXPECT_TRUE(WaitFor([] { return g_nWakes == 1; }));
        gst_element_set_state(pFeed.get(), GST_STATE_NULL);
    }
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules({});
}

// The window and its settings open while the sound server stands still, the
// timers running all along; once it answers, the microphone is made and the
// mix plays into it. A change applied while it stands still comes back at
// once and takes effect once it answers; turned on again, the microphone is
// made again; a microphone chosen is taken at once.
TEST_F(MicrophoneChain, TheWindowAnswersWhileTheSoundServerStandsStill)
{
    ASSERT_GT(m_server, 0);
    CPulseClient client;
    ASSERT_TRUE(client.Connect("Voxreel test"));
    client.SetAnswerTime(300ms);
    CStallProbe probe;
    std::optional<CStoppedServer> stopped(m_server);
    CVoxreelDlg& dlg = Open();
    EXPECT_FALSE(client.ListModules() || client.ListSources());
    WaitFor([&] { return probe.ElapsedMs() >= 5000; }, 10s);
    EXPECT_TRUE(Settings(dlg, [](QDialog& settings) { settings.reject(); }))
        << "the settings waited for the sound server to open";
    stopped.reset();
    EXPECT_LT(probe.Stop(), 2500) << "the window stood still with the sound server";
    ASSERT_TRUE(WaitFor(MicrophoneMade, 30s));
    EXPECT_TRUE(MixPlaysIntoIt()) << "the mix does not play into the Voxreel microphone";
    EXPECT_FALSE(ShowedPrefix("The Voxreel microphone is not available"));
    EXPECT_FALSE(ShowedPrefix("Cannot record audio"));

    const std::string strTone = std::getenv("VOXREEL_CAPTURE_SOURCE");
    unsetenv("VOXREEL_CAPTURE_SOURCE"); // the restarted capture records from the server
    m_statusTexts.clear();
    stopped.emplace(m_server);
    EXPECT_TRUE(Settings(dlg, [](QDialog& settings) {
        settings.findChild<QCheckBox*>("virtualMicrophone")->setChecked(false);
        settings.accept();
    })) << "the settings waited for the sound server to apply";
    stopped.reset();
    EXPECT_TRUE(WaitFor([] { return !MicrophoneMade(); }, 30s));
    EXPECT_TRUE(WaitFor([&] { return Showed("Recording on a microphone started"); }, 30s));
    EXPECT_FALSE(ShowedPrefix("Cannot record audio"));

    // Turned on again, it is made again and the restarted capture's mix plays into it.
    setenv("VOXREEL_CAPTURE_SOURCE", strTone.c_str(), 1);
    m_statusTexts.clear();
    Settings(dlg, [](QDialog& settings) {
        settings.findChild<QCheckBox*>("virtualMicrophone")->setChecked(true);
        settings.accept();
    });
    ASSERT_TRUE(WaitFor(MicrophoneMade));
    EXPECT_TRUE(MixPlaysIntoIt()) << "the mix does not play into the Voxreel microphone made again";
    EXPECT_FALSE(ShowedPrefix("The Voxreel microphone is not available"));
    m_recorder.Stop();

    // The settings offer the sound server's devices and take a new microphone at once.
    unsetenv("VOXREEL_CAPTURE_SOURCE");
    Pactl({"load-module", "module-null-sink", "sink_name=headset"});
    const std::string strChosen = "pulsesrc device=headset.monitor";
    m_statusTexts.clear();
    Settings(dlg, [&](QDialog& settings) {
        auto* pMicrophones = settings.findChild<QComboBox*>("microphones");
        auto* pOutputs = settings.findChild<QComboBox*>("outputs");
        EXPECT_EQ(pMicrophones->itemText(0).toStdString(), "System default");
        EXPECT_TRUE(WaitFor([&] { return pOutputs->findData("pulsesink device=headset") >= 1; }));
        pMicrophones->setCurrentIndex(pMicrophones->findData(QString::fromStdString(strChosen)));
        settings.accept();
    });
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
