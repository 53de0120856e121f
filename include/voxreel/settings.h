// The settings store: named integer and text values in the "Settings" section
// of the user's profile. The application provides the persistent store;
// libraries and tests take this interface and need no running application.
#pragma once

#include <map>
#include <string>

class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    virtual int GetProfileInt(const std::string& name, int defaultValue) const = 0;
    virtual std::string GetProfileString(const std::string& name,
                                         const std::string& defaultValue) const = 0;
    virtual bool WriteProfileInt(const std::string& name, int value) = 0;
    virtual bool WriteProfileString(const std::string& name, const std::string& value) = 0;
};

// A store held in memory: for tests, and for a session that cannot reach
// the persistent one.
class CMemorySettings final : public ISettingsStore {
public:
    int GetProfileInt(const std::string& name, int defaultValue) const override
    {
        auto it = m_mapInts.find(name);
        return it == m_mapInts.end() ? defaultValue : it->second;
    }
    std::string GetProfileString(const std::string& name,
                                 const std::string& defaultValue) const override
    {
        auto it = m_mapStrings.find(name);
        return it == m_mapStrings.end() ? defaultValue : it->second;
    }
    bool WriteProfileInt(const std::string& name, int value) override
    {
        m_mapInts[name] = value;
        return true;
    }
    bool WriteProfileString(const std::string& name, const std::string& value) override
    {
        m_mapStrings[name] = value;
        return true;
    }

private:
    std::map<std::string, int> m_mapInts;
    std::map<std::string, std::string> m_mapStrings;
};
