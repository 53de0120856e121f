// The user's profile: QSettings for the company "Kelmora" and the program
// "Voxreel", section "Settings". On Linux the file is
// $XDG_CONFIG_HOME/Kelmora/Voxreel.conf.
#pragma once

#include <QSettings>

#include "voxreel/settings.h"

class CQtSettingsStore final : public ISettingsStore {
public:
    CQtSettingsStore();

    int GetProfileInt(const std::string& name, int defaultValue) const override;
    std::string GetProfileString(const std::string& name,
                                 const std::string& defaultValue) const override;
    bool WriteProfileInt(const std::string& name, int value) override;
    bool WriteProfileString(const std::string& name, const std::string& value) override;

    // Writes what is pending to disk; false when the file cannot be written.
    bool Flush();

private:
    static QString Key(const std::string& name);

    mutable QSettings m_settings;
};
