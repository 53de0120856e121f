// One level meter: a bar for the RMS level, a lighter one for the peak, a
// line at the peak held for kHold, and a clip mark that stays lit for
// kClipShown after a sample reached full scale. It shows -60 to 0 dBFS and
// repaints only when what it shows has changed.
#pragma once

#include <QWidget>

#include <chrono>

#include "voxreel/callfeed_control.h"

class CLevelMeterWidget final : public QWidget {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr double kFloorDb = -60.0;
    static constexpr std::chrono::milliseconds kHold{1500};
    static constexpr std::chrono::milliseconds kClipShown{3000};
    // Without new blocks for this long the meter falls to silence.
    static constexpr std::chrono::milliseconds kStale{300};

    explicit CLevelMeterWidget(const QString& accessibleName, QWidget* pParent = nullptr);

    void ShowReading(const CallMeterLevels& reading, Clock::time_point now = Clock::now());

    double PeakDb() const { return m_dPeakDb; }
    double RmsDb() const { return m_dRmsDb; }
    double HoldDb() const { return m_dHoldDb; }
    bool IsClipMarked() const { return m_bClipShown; }

    QSize sizeHint() const override { return {160, 12}; }
    QSize minimumSizeHint() const override { return {60, 8}; }

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    int XOf(double dDb, int nWidth) const;

    double m_dPeakDb = kSilentDb;
    double m_dRmsDb = kSilentDb;
    double m_dHoldDb = kSilentDb;
    bool m_bClipShown = false;
    Clock::time_point m_lastFresh{};
    Clock::time_point m_holdSince{};
    Clock::time_point m_clipSince{};
};
