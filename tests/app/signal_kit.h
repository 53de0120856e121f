// Reading back what a call and the Voxreel microphone heard (recordings and
// the level of a tone in them, by callreport's analysis), asking the sound
// server with pactl, and the window with the Voxreel microphone recorded.
#pragma once

#include <QProcess>

#include <cstdint>
#include <vector>

#include "recording.h"
#include "tone_frames.h"
#include "window_testkit.h"

namespace apptest {

inline constexpr int kRate = 16000;

// parec recording a source as raw 16-bit samples into a file, as a call
// application would; killed when it goes.
class CRecorder {
public:
    ~CRecorder() { Stop(); }
    // extra: more of parec's options (a client name).
    bool Start(const std::string& strSource, int nRate, int nChannels, const fs::path& file,
               const QStringList& extra = {})
    {
        m_nRate = nRate, m_nChannels = nChannels, m_file = file;
        fs::remove(file); // each start records afresh
        m_process.start("parec", QStringList{"-d", QString::fromStdString(strSource)} + extra +
                                     QStringList{"--rate=" + QString::number(nRate),
                                                 "--channels=" + QString::number(nChannels),
                                                 "--format=s16le", "--raw", "--latency-msec=20",
                                                 QString::fromStdString(file.string())});
        return m_process.waitForStarted(10000);
    }
    void Stop()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool Running() const { return m_process.state() == QProcess::Running; }
    const fs::path& File() const { return m_file; }
    // What it recorded so far, its channels folded to their mean.
    callreport::CRecording Recording() const
    {
        callreport::CRecording recording;
        callreport::ReadRaw(m_file.string(), m_nRate, m_nChannels, recording);
        return recording;
    }

private:
    QProcess m_process;
    int m_nRate = kRate, m_nChannels = 1;
    fs::path m_file;
};

// What callsim recorded so far (its WAV file stays open while it runs).
inline callreport::CRecording CallRecording(const fs::path& wav)
{
    callreport::CRecording recording;
    callreport::ReadWav(wav.string(), recording);
    return recording;
}

// The last quarter second of the recording carries nFreq above dLevel.
inline bool EndsWithTone(const callreport::CRecording& recording, int nFreq, double dLevel)
{
    const auto nQuarter = static_cast<std::size_t>(recording.m_nRate / 4);
    const std::vector<std::int16_t>& samples = recording.m_samples;
    return samples.size() > nQuarter &&
           callreport::ToneAmplitude(&samples[samples.size() - nQuarter], nQuarter,
                                     recording.m_nRate, nFreq) > dLevel;
}

// pactl's output ("" when it failed or said nothing).
inline std::string Pactl(const QStringList& arguments)
{
    QProcess pactl;
    pactl.start("pactl", arguments);
    pactl.waitForFinished(10000);
    return pactl.exitCode() == 0 ? pactl.readAllStandardOutput().toStdString() : std::string();
}

inline int Occurrences(const std::string& text, const std::string& what)
{
    int n = 0;
    for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size())
        ++n;
    return n;
}

// The window with the Voxreel microphone on, a test microphone tone of
// kMicFreq at a quarter of full scale, the loudest remote level and a
// recorder of the Voxreel microphone.
class MicrophoneWindowTest : public WindowTest {
protected:
    static constexpr int kMicFreq = 300;

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
        m_recorder.Stop();
        setenv("VOXREEL_VIRTUAL_MIC", "0", 1);
        setenv("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true wave=silence", 1);
        WindowTest::TearDown();
    }
    // Records as a call application would, at the microphone's own format
    // (48 kHz stereo): each channel, and so their mean, carries the port's
    // mono at its level (a mono recording of it would take the server's
    // downmix law along, 3 dB up on PipeWire).
    void StartRecorder() { m_recorder.Start("voxreel_mic", 48000, 2, m_folder / "mic.raw"); }

    CRecorder m_recorder;
};

} // namespace apptest
