// One Voxreel per session: the first instance owns a name on the session bus
// and takes the files of later starts, which hand them over and end.
#pragma once

#include <QObject>

#include <functional>

#include "command_line.h"

class CInstanceLink final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.kelmora.Voxreel")

public:
    static constexpr const char* kServiceName = "com.kelmora.Voxreel";
    static constexpr const char* kObjectPath = "/com/kelmora/Voxreel";
    using OpenFn = std::function<void(CCommandLine&&)>;

    // True when this process is the one instance (also when there is no bus
    // to share: then every start runs on its own).
    bool Claim();
    // Hands the command line to the running instance; true when it took it.
    static bool HandOver(const CCommandLine& line);
    // What to do with the files of later starts.
    void SetOnOpen(OpenFn onOpen) { m_onOpen = std::move(onOpen); }

public slots:
    Q_SCRIPTABLE void Open(const QStringList& paths, bool play);

private:
    OpenFn m_onOpen;
};
