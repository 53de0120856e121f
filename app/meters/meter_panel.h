// The window's two level meters, the microphone and what the call hears,
// read about 30 times a second from a source of levels (the player's
// renderer) on a timer of the UI thread; each read takes only what the
// renderer measured since the previous one.
#pragma once

#include <QTimer>
#include <QWidget>

#include <functional>

#include "level_meter_widget.h"

class CMeterPanel final : public QWidget {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kPeriod{33};
    // Fills in the levels since the previous call; false: none to show.
    using Source = std::function<bool(CallLevels*)>;

    explicit CMeterPanel(QWidget* pParent = nullptr);

    void Start(Source source);
    void Stop();
    // One read, as the timer does it.
    void Tick(CLevelMeterWidget::Clock::time_point now = CLevelMeterWidget::Clock::now());

    CLevelMeterWidget* Microphone() const { return m_pMicrophone; }
    CLevelMeterWidget* Call() const { return m_pCall; }

private:
    CLevelMeterWidget* m_pMicrophone;
    CLevelMeterWidget* m_pCall;
    QTimer m_timer;
    Source m_source;
};
