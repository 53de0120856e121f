// The receiver of the link's attach, detach and notification reports.
#pragma once

#include <string>

class ISkypeConnectionMonitor {
public:
    virtual ~ISkypeConnectionMonitor() = default;
    virtual void OnAttached() = 0;
    virtual void OnDetached() = 0;
    virtual void OnNotification(const std::string& line) = 0;
};
