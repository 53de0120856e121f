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
    // Notifications go to this window with this message; window 0: none.
    virtual HRESULT SetNotifyWindow(std::uint64_t nWindow, std::uint32_t nMessage) = 0;
    virtual HRESULT StartTransmission() = 0;
    virtual HRESULT StopTransmission() = 0;
    virtual HRESULT GetBalance(int* pnBalance) = 0; // E_POINTER on null
    virtual HRESULT SetBalance(int nBalance) = 0;   // clamped to -127..128
    virtual HRESULT SetVolume(int nVolume) = 0;     // clamped to 0..255
    virtual HRESULT GetVolume(int* pnVolume) = 0;   // E_POINTER on null
};

// One notification as the renderer posts it on the bus.
struct CallfeedNotification {
    std::uint64_t m_nWindow = 0;
    std::uint32_t m_nMessage = 0;
    int m_nCode = 0;
    std::uint32_t m_nValue = 0;
};

// Reads a renderer notification out of a bus message; false for any other.
inline bool ParseCallfeedNotification(GstMessage* pMessage, CallfeedNotification* pOut)
{
    if (pMessage == nullptr || pOut == nullptr || GST_MESSAGE_TYPE(pMessage) != GST_MESSAGE_ELEMENT)
        return false;
    const GstStructure* pStructure = gst_message_get_structure(pMessage);
    if (pStructure == nullptr || !gst_structure_has_name(pStructure, kCallfeedNotifyStructure))
        return false;
    guint64 nWindow = 0;
    guint nMessage = 0;
    gint nCode = 0;
    guint nValue = 0;
    if (!gst_structure_get(pStructure, "window", G_TYPE_UINT64, &nWindow, "message", G_TYPE_UINT,
                           &nMessage, "code", G_TYPE_INT, &nCode, "value", G_TYPE_UINT, &nValue,
                           nullptr))
        return false;
    *pOut = CallfeedNotification{nWindow, nMessage, nCode, nValue};
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
    HRESULT SetNotifyWindow(std::uint64_t nWindow, std::uint32_t nMessage) override
    {
        if (m_pRenderer == nullptr)
            return E_POINTER;
        gint hr = E_FAIL;
        g_signal_emit_by_name(m_pRenderer, "set-notify-window", static_cast<guint64>(nWindow),
                              static_cast<guint>(nMessage), &hr);
        return hr;
    }
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
