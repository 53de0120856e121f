// What the call commands and the call tracking need of the main window.
#pragma once

#include <memory>
#include <string>

#include "active_call_list.h"

class CSkypeCommandHandler;

class ICallOwner {
public:
    virtual ~ICallOwner() = default;
    virtual CActiveCallList& Calls() = 0;
    virtual void SetStatus(const std::string& strText) = 0;
    // The status icon's not-transmitting picture.
    virtual void ShowNotTransmittingIcon() = 0;
    // Whether the client has taken the switch of the selected call's input.
    virtual bool IsTransmitting() const = 0;
    virtual void SetTransmitting(bool bTransmitting) = 0;
    // Adds the handler to the link and sends its command.
    virtual void Issue(std::unique_ptr<CSkypeCommandHandler> pHandler) = 0;
    // The port the call is asked to take its input from.
    virtual int InputPort() const = 0;

    // The selected call has ended: marks cleared, playback stopped.
    virtual void StopForEndedCall() = 0;
    virtual void ShowCallDuration(const std::string& strText) = 0;
    virtual bool HasRenderer() const = 0;
};
