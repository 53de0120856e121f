// A renderer transmitting a generated file tone over a given microphone to a
// loopback client, the port read back as levels per 10 ms window.
#pragma once

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "callfeed_renderer_register.h"
#include "loopback_client.h"
#include "send_ring.h"
#include "tone_frames.h"
#include "voxreel/callfeed_control.h"

namespace callmix {

using namespace std::chrono_literals;

// GStreamer is ready, and the renderer registered, before any rig is made.
inline const bool g_bRendererReady = [] {
    gst_init(nullptr, nullptr);
    return GST_ELEMENT_REGISTER(callfeedrenderer, nullptr) != FALSE;
}();

constexpr int kRate = 16000;
constexpr std::size_t kWindow = kRate / 100; // 10 ms

// nLeadMs of silence, nSpeechMs of syllables (180 ms of a 220 Hz voice at
// -20 dBFS RMS, 70 ms of silence) and nTailMs of silence, at nRate.
inline std::vector<std::int16_t> Speech(int nRate, int nLeadMs, int nSpeechMs, int nTailMs)
{
    const auto ms = [&](int n) { return static_cast<std::size_t>(n) * nRate / 1000; };
    std::vector<std::int16_t> samples(ms(nLeadMs + nSpeechMs + nTailMs), 0);
    for (std::size_t i = 0; i < ms(nSpeechMs); ++i)
        if (i % ms(250) < ms(180))
            samples[ms(nLeadMs) + i] = static_cast<std::int16_t>(
                std::lrint(0.14 * 32767 * std::sin(2 * std::numbers::pi * 220.0 * i / nRate)));
    return samples;
}

// A 16 kHz mono WAV of Speech(); a long tail lets a late reader have its fill.
inline void WriteSpeechWav(const std::string& strPath, int nLeadMs, int nSpeechMs, int nTailMs)
{
    const std::vector<std::int16_t> samples = Speech(kRate, nLeadMs, nSpeechMs, nTailMs);
    const auto u32 = [](std::uint32_t n) { return std::string(reinterpret_cast<char*>(&n), 4); };
    const auto u16 = [](std::uint16_t n) { return std::string(reinterpret_cast<char*>(&n), 2); };
    const auto cbData = static_cast<std::uint32_t>(samples.size() * 2);
    std::ofstream file(strPath, std::ios::binary);
    file << "RIFF" << u32(36 + cbData) << "WAVEfmt " << u32(16) << u16(1) << u16(1) << u32(kRate)
         << u32(kRate * 2) << u16(2) << u16(16) << "data" << u32(cbData);
    file.write(reinterpret_cast<const char*>(samples.data()), cbData);
}

inline std::string WavMicrophone(const std::string& strPath)
{
    return "filesrc location=" + strPath + " ! wavparse ! identity sync=true";
}

class CCallMixRig {
public:
    CCallMixRig(int nFileMs, double dFrequency, double dVolume)
        : m_pPipeline(
              gst_parse_launch(("audiotestsrc num-buffers=" + std::to_string(nFileMs / 100) +
                                " samplesperbuffer=1600 freq=" + std::to_string(dFrequency) +
                                " volume=" + std::to_string(dVolume) +
                                " ! audio/x-raw,format=S16LE,rate=16000,channels=1 ! "
                                "callfeedrenderer name=renderer ! fakesink sync=false")
                                   .c_str(),
                               nullptr)),
          m_pRenderer(gst_bin_get_by_name(GST_BIN(m_pPipeline.get()), "renderer"))
    {
        g_object_set(m_pRenderer.get(), "port", m_nPort, nullptr);
    }
    ~CCallMixRig()
    {
        CCallfeedControl(m_pRenderer.get()).StopTransmission();
        gst_element_set_state(m_pPipeline.get(), GST_STATE_NULL);
    }

    GstElement* Renderer() const { return m_pRenderer.get(); }

    // Transmits, connects, and plays the file once the port carries audio.
    bool Start(const std::string& strMicrophone)
    {
        g_object_set(m_pRenderer.get(), "capture-source", strMicrophone.c_str(), nullptr);
        return CCallfeedControl(m_pRenderer.get()).StartTransmission() == S_OK &&
               m_client.Connect(m_nPort) && m_client.Read(kBlockBytes, 30s) &&
               gst_element_set_state(m_pPipeline.get(), GST_STATE_PLAYING) !=
                   GST_STATE_CHANGE_FAILURE;
    }
    // Reads the port until it has carried nMs in all.
    bool Read(int nMs)
    {
        return m_client.Read(static_cast<std::size_t>(nMs) * kRate / 1000 * 2, 60s);
    }

    // The amplitude of a tone in each 10 ms window of the port, in dBFS.
    std::vector<double> ToneDb(double dFrequency) const
    {
        const std::vector<std::int16_t> port = m_client.Copy();
        std::vector<double> levels;
        for (std::size_t nFrom = 0; nFrom + kWindow <= port.size(); nFrom += kWindow)
            levels.push_back(callreport::AmplitudeDbfs(
                callreport::ToneAmplitude(&port[nFrom], kWindow, kRate, dFrequency)));
        return levels;
    }
    const CTestClient& Client() const { return m_client; }

private:
    int m_nPort = FreePort();
    CElementPtr m_pPipeline;
    CElementPtr m_pRenderer;
    CTestClient m_client;
};

// How talk-over moved the file's tone on the port, from the windows' levels.
struct TalkOverTimes {
    double dBaselineDb = 0;    // the file before the voice
    double dLoweredDb = 0;     // the file's median while the voice lasts
    double dAttackMs = -1;     // voice onset to the file within 1 dB of its lowered level
    double dReleaseMs = -1;    // voice end to the file within 1 dB of its baseline
    double dLargestRiseDb = 0; // while the voice lasts, above the lowered level
};

inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

inline TalkOverTimes MeasureTalkOver(const std::vector<double>& file,
                                     const std::vector<double>& voice, double dDepthDb)
{
    constexpr double kVoicePresentDb = -40.0, kFilePresentDb = -40.0;
    TalkOverTimes times;
    std::size_t nFileStart = 0;
    while (nFileStart < file.size() && file[nFileStart] < kFilePresentDb)
        ++nFileStart;
    std::size_t nOnset = nFileStart;
    while (nOnset < voice.size() && voice[nOnset] < kVoicePresentDb)
        ++nOnset;
    std::size_t nEnd = voice.size();
    while (nEnd > nOnset && voice[nEnd - 1] < kVoicePresentDb)
        --nEnd;
    if (nOnset >= nEnd || nOnset < nFileStart + 20)
        return times;
    times.dBaselineDb = Median({file.begin() + static_cast<long>(nFileStart) + 5,
                                file.begin() + static_cast<long>(nOnset) - 2});
    const double dTarget = times.dBaselineDb - dDepthDb;
    std::size_t n = nOnset;
    while (n < nEnd && file[n] > dTarget + 1)
        ++n;
    times.dAttackMs = 10.0 * static_cast<double>(n - nOnset);
    // Past the attack (or 50 ms in, when nothing came down).
    const std::size_t nLowered = n < nEnd ? n : nOnset + 5;
    times.dLoweredDb = Median(
        {file.begin() + static_cast<long>(nLowered), file.begin() + static_cast<long>(nEnd)});
    for (std::size_t i = nLowered; i < nEnd; ++i)
        times.dLargestRiseDb = std::max(times.dLargestRiseDb, file[i] - times.dLoweredDb);
    n = nEnd;
    while (n < file.size() && file[n] < times.dBaselineDb - 1)
        ++n;
    if (n < file.size())
        times.dReleaseMs = 10.0 * static_cast<double>(n - nEnd);
    return times;
}

} // namespace callmix
