#include "meter_panel.h"

#include <QGridLayout>
#include <QLabel>

CMeterPanel::CMeterPanel(QWidget* pParent)
    : QWidget(pParent), m_pMicrophone(new CLevelMeterWidget(tr("Microphone level"))),
      m_pCall(new CLevelMeterWidget(tr("Level the call hears")))
{
    m_pMicrophone->setObjectName(QStringLiteral("microphoneMeter"));
    m_pCall->setObjectName(QStringLiteral("callMeter"));
    auto* pLayout = new QGridLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    auto* pMicrophoneCaption = new QLabel(tr("Microphone"));
    auto* pCallCaption = new QLabel(tr("Call hears"));
    pMicrophoneCaption->setBuddy(m_pMicrophone);
    pCallCaption->setBuddy(m_pCall);
    pLayout->addWidget(pMicrophoneCaption, 0, 0);
    pLayout->addWidget(m_pMicrophone, 0, 1);
    pLayout->addWidget(pCallCaption, 1, 0);
    pLayout->addWidget(m_pCall, 1, 1);
    pLayout->setColumnStretch(1, 1);
    m_timer.setInterval(kPeriod);
    connect(&m_timer, &QTimer::timeout, this, [this] { Tick(); });
}

void CMeterPanel::Start(Source source)
{
    m_source = std::move(source);
    m_timer.start();
}

void CMeterPanel::Stop()
{
    m_timer.stop();
    m_source = nullptr;
}

void CMeterPanel::Tick(CLevelMeterWidget::Clock::time_point now)
{
    CallLevels levels;
    if (!m_source || !m_source(&levels))
        levels = CallLevels{};
    m_pMicrophone->ShowReading(levels.microphone, now);
    m_pCall->ShowReading(levels.call, now);
}
