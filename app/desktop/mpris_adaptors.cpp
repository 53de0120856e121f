#include "mpris_adaptors.h"

#include "rules/window_ids.h"

CMprisRootAdaptor::CMprisRootAdaptor(CMprisService* pService)
    : QDBusAbstractAdaptor(pService), m_service(*pService)
{
}

QStringList CMprisRootAdaptor::SupportedMimeTypes() const
{
    return {QStringLiteral("audio/mpeg"),         QStringLiteral("audio/x-wav"),
            QStringLiteral("audio/x-ms-wma"),     QStringLiteral("audio/ogg"),
            QStringLiteral("audio/x-vorbis+ogg"), QStringLiteral("audio/x-opus+ogg"),
            QStringLiteral("audio/flac"),         QStringLiteral("audio/mp4"),
            QStringLiteral("audio/x-mpegurl")};
}

CMprisPlayerAdaptor::CMprisPlayerAdaptor(CMprisService* pService)
    : QDBusAbstractAdaptor(pService), m_service(*pService)
{
}

void CMprisPlayerAdaptor::Next()
{
    m_service.Command(ID_NEXT_FILE);
}

void CMprisPlayerAdaptor::Previous()
{
    m_service.Command(ID_PREV_FILE);
}

void CMprisPlayerAdaptor::Stop()
{
    m_service.Command(ID_STOP);
}
