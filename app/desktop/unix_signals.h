// Turns SIGTERM, SIGINT and SIGHUP into a call on the UI thread, so that
// they close the program the way its window's close does.
#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

class CUnixSignals final : public QObject {
public:
    explicit CUnixSignals(std::function<void(int nSignal)> onSignal);
    ~CUnixSignals() override;

private:
    std::function<void(int)> m_onSignal;
    std::unique_ptr<QSocketNotifier> m_pNotifier;
};
