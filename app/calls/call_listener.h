// What the call tracking tells the window: the one place its changes go.
// Runs on the UI thread, in the order the client's lines arrive.
#pragma once

#include <string>

class ICallListener {
public:
    virtual ~ICallListener() = default;
    // The active-call list or its selection has changed.
    virtual void OnCallsChanged() = 0;
    // A text for the status line.
    virtual void OnCallStatus(const std::string& strText) = 0;
    // Whether the client takes the selected call's input from our port;
    // false also shows the not-transmitting picture.
    virtual void OnTransmittingChanged(bool bTransmitting) = 0;
    // The selected call has ended: playback stops, its marks go.
    virtual void OnCallEnded() = 0;
    // The selected call's duration, as "mm:ss".
    virtual void OnCallDuration(const std::string& strText) = 0;
};
