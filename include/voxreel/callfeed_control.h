// IVoxreelCallfeed: the control interface of the Callfeed renderer, and
// CCallfeedControl, its typed form over the renderer element's properties
// and action signals. Header-only; needs only GStreamer core.
//
// StartTransmission on a renderer that is already transmitting refuses the
// call: it returns S_FALSE, posts nothing and leaves the running server,
// client and capture untouched.
#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <cstring>

#include "voxreel/hresult.h"
#include "voxreel/ids.h"

class IVoxreelCallfeed {
public:
    virtual ~IVoxreelCallfeed() = default;
    // Stops the server, stores the port, starts the server again.
    virtual HRESULT SetPort(int nPort) = 0;
    virtual HRESULT GetPort(int* pnPort) = 0; // E_INVALIDARG on null
    virtual HRESULT StartTransmission() = 0;
    virtual HRESULT StopTransmission() = 0;
    virtual HRESULT GetBalance(int* pnBalance) = 0; // E_POINTER on null
    virtual HRESULT SetBalance(int nBalance) = 0;   // clamped to -127..128
    virtual HRESULT SetVolume(int nVolume) = 0;     // clamped to 0..255
    virtual HRESULT GetVolume(int* pnVolume) = 0;   // E_POINTER on null
};

// One notification as the renderer posts it on its bus: an element message
// named kCallfeedNotifyStructure with the fields "code" (NotifyCode) and
// "value" (an HRESULT for the error codes, else 0).
struct CallfeedNotification {
    int m_nCode = 0;
    std::uint32_t m_nValue = 0;
};

// A new notification message. It names no source element, so it holds no
// reference to the renderer: a message dropped on one of the renderer's own
// threads must not release the element there.
inline GstMessage* NewCallfeedNotification(int nCode, std::uint32_t nValue)
{
    GstStructure* pStructure =
        gst_structure_new(kCallfeedNotifyStructure, "code", G_TYPE_INT, nCode, "value", G_TYPE_UINT,
                          static_cast<guint>(nValue), nullptr);
    return gst_message_new_element(nullptr, pStructure);
}

// Reads a renderer notification out of a bus message; false for any other.
inline bool ParseCallfeedNotification(GstMessage* pMessage, CallfeedNotification* pOut)
{
    if (pMessage == nullptr || pOut == nullptr || GST_MESSAGE_TYPE(pMessage) != GST_MESSAGE_ELEMENT)
        return false;
    const GstStructure* pStructure = gst_message_get_structure(pMessage);
    if (pStructure == nullptr || !gst_structure_has_name(pStructure, kCallfeedNotifyStructure))
        return false;
    gint nCode = 0;
    guint nValue = 0;
    if (!gst_structure_get(pStructure, "code", G_TYPE_INT, &nCode, "value", G_TYPE_UINT, &nValue,
                           nullptr))
        return false;
    *pOut = CallfeedNotification{nCode, nValue};
    return true;
}

class CCallfeedControl final : public IVoxreelCallfeed {
public:
    // Holds its own reference to the renderer element (which may be null:
    // every method then gives E_POINTER).
    explicit CCallfeedControl(GstElement* pRenderer)
        : m_pRenderer(pRenderer != nullptr ? GST_ELEMENT(gst_object_ref(pRenderer)) : nullptr)
    {
    }
    ~CCallfeedControl() override
    {
        if (m_pRenderer != nullptr)
            gst_object_unref(m_pRenderer);
    }
    CCallfeedControl(const CCallfeedControl&) = delete;
    CCallfeedControl& operator=(const CCallfeedControl&) = delete;

    HRESULT SetPort(int nPort) override { return Emit("set-port", nPort); }
    HRESULT GetPort(int* pnPort) override { return GetInt("port", pnPort, E_INVALIDARG); }
    HRESULT StartTransmission() override { return Emit("start-transmission"); }
    HRESULT StopTransmission() override { return Emit("stop-transmission"); }
    HRESULT GetBalance(int* pnBalance) override { return GetInt("balance", pnBalance, E_POINTER); }
    HRESULT SetBalance(int nBalance) override { return SetInt("balance", nBalance); }
    HRESULT SetVolume(int nVolume) override { return SetInt("volume", nVolume); }
    HRESULT GetVolume(int* pnVolume) override { return GetInt("volume", pnVolume, E_POINTER); }

private:
    template <typename... Args> HRESULT Emit(const char* pszSignal, Args... args)
    {
        if (m_pRenderer == nullptr)
            return E_POINTER;
        gint hr = E_FAIL;
        g_signal_emit_by_name(m_pRenderer, pszSignal, args..., &hr);
        return hr;
    }
    HRESULT GetInt(const char* pszProperty, int* pnValue, HRESULT hrNull)
    {
        if (pnValue == nullptr)
            return hrNull;
        if (m_pRenderer == nullptr)
            return E_POINTER;
        gint nValue = 0;
        g_object_get(m_pRenderer, pszProperty, &nValue, nullptr);
        *pnValue = nValue;
        return S_OK;
    }
    HRESULT SetInt(const char* pszProperty, int nValue)
    {
        if (m_pRenderer == nullptr)
            return E_POINTER;
        g_object_set(m_pRenderer, pszProperty, static_cast<gint>(nValue), nullptr);
        return S_OK;
    }

    GstElement* m_pRenderer; // one reference, owned
};

// The renderer's properties for what the call's mixes do beyond the mix
// law: a limiter after it (boolean, default off), and talk-over, which
// lowers the playback in the call's mixes while the microphone carries
// speech (boolean, default off; its depth in decibels, default 12).
inline constexpr const char* kCallLimiterProperty = "call-limiter";
inline constexpr const char* kTalkOverProperty = "talk-over";
inline constexpr const char* kTalkOverDepthProperty = "talk-over-depth";
// The action signal that takes the levels measured since its last emission
// (a GstStructure named kCallLevelsStructure, the caller's to free).
inline constexpr const char* kTakeLevelsSignal = "take-levels";
inline constexpr const char* kCallLevelsStructure = "callfeed-levels";

// The level of silence, in dBFS.
inline constexpr double kSilentDb = -100.0;

// One meter's reading over the 20 ms blocks since the previous take.
struct CallMeterLevels {
    double dPeakDb = kSilentDb; // the loudest sample, dBFS
    double dRmsDb = kSilentDb;  // the latest block's RMS, dBFS (a sine reads 3 dB under its peak)
    bool bClip = false;         // a sample reached full scale
    int nBlocks = 0;            // how many blocks; 0: nothing new
};

// The microphone, and what the call hears (the port's mix).
struct CallLevels {
    CallMeterLevels microphone;
    CallMeterLevels call;
};

inline GstStructure* NewCallLevelsStructure(const CallLevels& levels)
{
    const auto& [m, c] = levels;
    return gst_structure_new(kCallLevelsStructure, "mic-peak", G_TYPE_DOUBLE, m.dPeakDb, "mic-rms",
                             G_TYPE_DOUBLE, m.dRmsDb, "mic-clip", G_TYPE_BOOLEAN, gboolean(m.bClip),
                             "mic-blocks", G_TYPE_INT, m.nBlocks, "call-peak", G_TYPE_DOUBLE,
                             c.dPeakDb, "call-rms", G_TYPE_DOUBLE, c.dRmsDb, "call-clip",
                             G_TYPE_BOOLEAN, gboolean(c.bClip), "call-blocks", G_TYPE_INT,
                             c.nBlocks, nullptr);
}

// Takes the renderer's levels since the previous take; false without a
// renderer or a reading.
inline bool TakeCallLevels(GstElement* pRenderer, CallLevels* pOut)
{
    if (pRenderer == nullptr || pOut == nullptr)
        return false;
    GstStructure* pStructure = nullptr;
    g_signal_emit_by_name(pRenderer, kTakeLevelsSignal, &pStructure);
    if (pStructure == nullptr)
        return false;
    gboolean bMicClip = FALSE, bCallClip = FALSE;
    CallLevels levels;
    const bool bRead =
        gst_structure_get(pStructure, "mic-peak", G_TYPE_DOUBLE, &levels.microphone.dPeakDb,
                          "mic-rms", G_TYPE_DOUBLE, &levels.microphone.dRmsDb, "mic-clip",
                          G_TYPE_BOOLEAN, &bMicClip, "mic-blocks", G_TYPE_INT,
                          &levels.microphone.nBlocks, "call-peak", G_TYPE_DOUBLE,
                          &levels.call.dPeakDb, "call-rms", G_TYPE_DOUBLE, &levels.call.dRmsDb,
                          "call-clip", G_TYPE_BOOLEAN, &bCallClip, "call-blocks", G_TYPE_INT,
                          &levels.call.nBlocks, nullptr) != FALSE;
    gst_structure_free(pStructure);
    levels.microphone.bClip = bMicClip != FALSE;
    levels.call.bClip = bCallClip != FALSE;
    if (bRead)
        *pOut = levels;
    return bRead;
}
