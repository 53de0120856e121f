#include "level_meter_widget.h"

#include <QCoreApplication>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kClipWidth = 6;

// What a screen reader says of the meter: the held peak to the nearest 3 dB,
// which changes seldom enough not to flood the accessibility bus.
QString ReadingInWords(double dHoldDb, bool bClip)
{
    if (bClip)
        return QCoreApplication::translate("CLevelMeterWidget", "Clipping");
    if (dHoldDb <= CLevelMeterWidget::kFloorDb)
        return QCoreApplication::translate("CLevelMeterWidget", "Silent");
    return QCoreApplication::translate("CLevelMeterWidget", "Peak %1 dB")
        .arg(3 * std::lround(dHoldDb / 3));
}

} // namespace

CLevelMeterWidget::CLevelMeterWidget(const QString& accessibleName, QWidget* pParent)
    : QWidget(pParent)
{
    setAccessibleName(accessibleName);
    setAccessibleDescription(ReadingInWords(kSilentDb, false));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CLevelMeterWidget::ShowReading(const CallMeterLevels& reading, Clock::time_point now)
{
    const double dPeak = m_dPeakDb, dRms = m_dRmsDb, dHold = m_dHoldDb;
    const bool bClip = m_bClipShown;
    if (reading.nBlocks > 0) {
        m_dPeakDb = reading.dPeakDb;
        m_dRmsDb = reading.dRmsDb;
        m_lastFresh = now;
        if (reading.bClip) {
            m_bClipShown = true;
            m_clipSince = now;
        }
    } else if (now - m_lastFresh > kStale) {
        m_dPeakDb = m_dRmsDb = kSilentDb;
    }
    if (m_dPeakDb >= m_dHoldDb || now - m_holdSince > kHold) {
        m_dHoldDb = m_dPeakDb;
        m_holdSince = now;
    }
    if (m_bClipShown && now - m_clipSince > kClipShown)
        m_bClipShown = false;
    if (const QString words = ReadingInWords(m_dHoldDb, m_bClipShown);
        words != accessibleDescription())
        setAccessibleDescription(words);
    const int nWidth = width() - kClipWidth - 1;
    if (XOf(dPeak, nWidth) != XOf(m_dPeakDb, nWidth) ||
        XOf(dRms, nWidth) != XOf(m_dRmsDb, nWidth) ||
        XOf(dHold, nWidth) != XOf(m_dHoldDb, nWidth) || bClip != m_bClipShown)
        update();
}

int CLevelMeterWidget::XOf(double dDb, int nWidth) const
{
    const double dFraction = (std::clamp(dDb, kFloorDb, 0.0) - kFloorDb) / -kFloorDb;
    return static_cast<int>(dFraction * nWidth);
}

void CLevelMeterWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette& colours = palette();
    const int nWidth = width() - kClipWidth - 1, nHeight = height();
    painter.fillRect(rect(), colours.color(QPalette::Base));
    QColor bar = colours.color(QPalette::Highlight);
    QColor peak = bar;
    peak.setAlpha(110);
    painter.fillRect(0, 0, XOf(m_dPeakDb, nWidth), nHeight, peak);
    painter.fillRect(0, 0, XOf(m_dRmsDb, nWidth), nHeight, bar);
    if (m_dHoldDb > kFloorDb)
        painter.fillRect(std::max(XOf(m_dHoldDb, nWidth) - 2, 0), 0, 2, nHeight,
                         colours.color(QPalette::Text));
    painter.fillRect(nWidth + 1, 0, kClipWidth, nHeight,
                     m_bClipShown ? QColor(Qt::red) : colours.color(QPalette::Mid));
}
