// The Voxreel microphone's devices on the test's PulseAudio daemon: made and
// removed, leftovers of a killed run cleaned up, listeners reported, and
// capture from our own microphone refused.
#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include "app_testkit.h"
#include "virtual_microphone.h"

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
