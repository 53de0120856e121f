#include "QtSettingsStore.h"

namespace {
constexpr const char* kSection = "Settings";
}

CQtSettingsStore::CQtSettingsStore()
    : m_settings(QSettings::NativeFormat, QSettings::UserScope, "Kelmora", "Voxreel")
{
}

QString CQtSettingsStore::Key(const std::string& name)
{
    return QString::fromLatin1(kSection) + '/' + QString::fromStdString(name);
}

int CQtSettingsStore::GetProfileInt(const std::string& name, int defaultValue) const
{
    bool ok = false;
    int value = m_settings.value(Key(name)).toInt(&ok);
    return ok ? value : defaultValue;
}

std::string CQtSettingsStore::GetProfileString(const std::string& name,
                                               const std::string& defaultValue) const
{
    QVariant value = m_settings.value(Key(name));
    return value.isValid() ? value.toString().toStdString() : defaultValue;
}

bool CQtSettingsStore::WriteProfileInt(const std::string& name, int value)
{
    m_settings.setValue(Key(name), value);
    return m_settings.status() == QSettings::NoError;
}

bool CQtSettingsStore::WriteProfileString(const std::string& name, const std::string& value)
{
    m_settings.setValue(Key(name), QString::fromStdString(value));
    return m_settings.status() == QSettings::NoError;
}

bool CQtSettingsStore::Flush()
{
    m_settings.sync();
    return m_settings.status() == QSettings::NoError;
}
