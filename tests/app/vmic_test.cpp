// The Voxreel microphone's devices on the test's PulseAudio daemon: made and
// removed, leftovers of a killed run cleaned up, listeners reported, and
// capture from our own microphone refused.
#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QSlider>
#include <QTimer>

#include "port_client.h"
#include "signal_kit.h"
#include "virtual_microphone.h"
#include "window_testkit.h"

using namespace apptest;

namespace {

std::string Pactl(const QStringList& arguments)
{
    QProcess pactl;
    pactl.start("pactl", arguments);
    pactl.waitForFinished(10000);
    return pactl.readAllStandardOutput().toStdString();
}

int Count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size())
        ++n;
    return n;
}

class VirtualMicrophone : public ::testing::Test {
protected:
    int ModulesOfOurs() { return Count(Pactl({"list", "short", "modules"}), "voxreel_mic_sink"); }

    QObject m_context;
    std::vector<std::string> m_listeners;
    std::vector<std::string> m_texts;
    CVirtualMicrophone m_mic{&m_context, [this](const auto& listeners, const std::string& text) {
                                 m_listeners = listeners;
                                 m_texts.push_back(text);
                             }};
};

} // namespace

TEST_F(VirtualMicrophone, CreatedOnceRemovedAndLeftoversCleaned)
{
    // What a killed run leaves behind, made as it makes them.
    Pactl({"load-module", "module-null-sink", "sink_name=voxreel_mic_sink", "rate=16000"});
    Pactl({"load-module", "module-remap-source", "master=voxreel_mic_sink.monitor",
           "source_name=voxreel_mic", "channels=1"});
    ASSERT_EQ(ModulesOfOurs(), 2);
    for (int nCycle = 0; nCycle < 3; ++nCycle) {
        ASSERT_EQ(m_mic.Create(), "");
        EXPECT_EQ(ModulesOfOurs(), 2);
        const std::string sources = Pactl({"list", "short", "sources"});
        EXPECT_EQ(Count(sources, "voxreel_mic\t"), 1) << sources;
        m_mic.Remove();
        EXPECT_EQ(ModulesOfOurs(), 0);
    }
}

TEST_F(VirtualMicrophone, ReportsWhoListens)
{
    ASSERT_EQ(m_mic.Create(), "");
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

TEST_F(VirtualMicrophone, NeverCapturesFromItself)
{
    ASSERT_EQ(m_mic.Create(), "");
    Pactl({"load-module", "module-null-sink", "sink_name=real_mic_stand_in"});
    Pactl({"load-module", "module-remap-source", "master=real_mic_stand_in.monitor",
           "source_name=real_mic"});
    const std::string strReal = "pulsesrc device=real_mic";
    EXPECT_EQ(m_mic.RealMicrophoneFor("pulsesrc device=voxreel_mic"), strReal);
    EXPECT_EQ(m_mic.RealMicrophoneFor("pulsesrc device=real_mic"), "");
    EXPECT_EQ(m_mic.RealMicrophoneFor("autoaudiosrc"), ""); // the default is not ours
    Pactl({"set-default-source", "voxreel_mic"});
    EXPECT_EQ(m_mic.RealMicrophoneFor("autoaudiosrc"), strReal);
    EXPECT_EQ(m_mic.RealMicrophoneFor(""), strReal);
}

namespace {

constexpr int kMicFreq = 300, kFileFreq = 1000;

// The real window with the Voxreel microphone on, a test microphone tone and
// a file tone; a recorder on the Voxreel microphone and a client on the port.
class MicrophoneChain : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        setenv("VOXREEL_VIRTUAL_MIC", "1", 1);
        setenv("VOXREEL_CAPTURE_SOURCE",
               ("audiotestsrc is-live=true volume=0.25 freq=" + std::to_string(kMicFreq)).c_str(),
               1);
        m_settings.WriteProfileInt("RemoteVolume", 0); // level 255
    }
    void TearDown() override
    {
        m_recorder.kill();
        m_recorder.waitForFinished();
        setenv("VOXREEL_VIRTUAL_MIC", "0", 1);
        setenv("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true wave=silence", 1);
        WindowTest::TearDown();
    }
    void StartRecorder()
    {
        m_recorder.start("parec", {"-d", "voxreel_mic", "--rate=16000", "--channels=1",
                                   "--format=s16le", "--raw", "--latency-msec=20",
                                   QString::fromStdString((m_folder / "mic.raw").string())});
    }
    std::vector<std::int16_t> Mic() const { return Recorded(m_folder / "mic.raw", 0); }
    // Waits for a second more of both, then gives the levels of the tone in
    // the last second of each: {port, Voxreel microphone}.
    std::pair<double, double> LastSecond(CPortClient& port, int nFreq)
    {
        const std::size_t nPort = port.Poll().size(), nMic = Mic().size();
        EXPECT_TRUE(WaitFor(
            [&] { return port.Poll().size() > nPort + kRate && Mic().size() > nMic + kRate; }));
        const std::vector<std::int16_t>& portSamples = port.Poll();
        const std::vector<std::int16_t> micSamples = Mic();
        return {ToneAmplitude(portSamples, portSamples.size() - kRate, portSamples.size(), nFreq),
                ToneAmplitude(micSamples, micSamples.size() - kRate, micSamples.size(), nFreq)};
    }

    QProcess m_recorder;
};

} // namespace

TEST_F(MicrophoneChain, CarriesWhatThePortCarries)
{
    const fs::path tone = MakeTone(m_folder / "tone.wav", 30.0, kFileFreq);
    CVoxreelDlg& dlg = Open();
    ASSERT_NE(Pactl({"list", "short", "sources"}).find("voxreel_mic"), std::string::npos);
    StartRecorder();
    CPortClient port(m_nPort);
    ASSERT_TRUE(port.Connected());
    dlg.AddPaths({tone}, true);
    ASSERT_TRUE(WaitFor([&] { return dlg.Player().IsRunning(); }));
    LastSecond(port, kFileFreq); // the file under way on both

    const struct {
        int nBalance;
        double dMic, dFile; // expected levels by the mix law
    } steps[] = {{0, 8192 * 128.0 / 256 * 255 / 256, 26214 * 127.0 / 256 * 255 / 256},
                 {-127, 8192 * 255.0 / 256 * 255 / 256, 0}};
    for (const auto& step : steps) {
        auto* pBalance = Control<QSlider>(1024);
        pBalance->setSliderPosition(step.nBalance);
        pBalance->triggerAction(QAbstractSlider::SliderMove);
        LastSecond(port, kMicFreq); // a second for the change to reach both
        const auto [dPortMic, dMicMic] = LastSecond(port, kMicFreq);
        const auto [dPortFile, dMicFile] = LastSecond(port, kFileFreq);
        EXPECT_NEAR(dPortMic, step.dMic, 400) << step.nBalance;
        EXPECT_NEAR(dPortFile, step.dFile, 800) << step.nBalance;
        EXPECT_NEAR(dMicMic, dPortMic, 0.1 * dPortMic + 100) << step.nBalance;
        EXPECT_NEAR(dMicFile, dPortFile, 0.1 * dPortFile + 100) << step.nBalance;
    }

    for (int nCommand : {104, 105}) { // pause, then stop: the file leaves both
        TriggerCommand(nCommand);
        LastSecond(port, kFileFreq);
        const auto [dPortAfter, dMicAfter] = LastSecond(port, kFileFreq);
        EXPECT_LT(dPortAfter, 50) << nCommand;
        EXPECT_LT(dMicAfter, 50) << nCommand;
    }
}

TEST_F(MicrophoneChain, ClosingTakesTheDevicesAlong)
{
    Open();
    ASSERT_NE(Pactl({"list", "short", "sources"}).find("voxreel_mic"), std::string::npos);
    m_pDlg->close();
    m_pDlg.reset();
    EXPECT_EQ(Pactl({"list", "short", "modules"}).find("voxreel_mic"), std::string::npos);
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
        EXPECT_GE(pOutputs->findData("pulsesink device=headset"), 1);
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
    CPortClient port(m_nPort);
    ASSERT_TRUE(WaitFor([&] { return port.Poll().size() > kRate / 2; }));
    Pactl({"unload-module", "module-native-protocol-unix"}); // every client cut off
    const std::size_t nBefore = port.Poll().size();
    EXPECT_TRUE(WaitFor([&] { return port.Poll().size() > nBefore + 2 * kRate; }));
    dlg.close(); // and closing does not wait on the sound server
}
