#pragma once

#include <QString>
#include <QStringList>

namespace quillcast {

// Every key the application reads or writes in the per-user defaults, spelled
// once: the stored files of earlier releases use these names.
class UserDefaultsKeys
{
public:
    // Registered with a fallback value at start-up.
    static inline const QString notifyUpdate = QStringLiteral("notifyUpdate");
    static inline const QString startupActionTag = QStringLiteral("StartupActionTag");
    static inline const QString startupSelectedDoc = QStringLiteral("StartupSelectedDoc");
    static inline const QString lastVersionUsedToUpdatePref = QStringLiteral("lastVersionUsedToUpdatePref");
    static inline const QString haveSelectedPrefForCheckForUpdate = QStringLiteral("haveSelectedPrefForCheckForUpdate");
    static inline const QString userPrefForCheckForUpdate = QStringLiteral("userPrefForCheckForUpdate");

    // The startup document and the update check.
    static inline const QString startupSelectedDocBookmark = QStringLiteral("StartupSelectedDocBookmark");
    static inline const QString lastCheckDateForUpdate = QStringLiteral("lastCheckDateForUpdate");
    static inline const QString updateListAddresses = QStringLiteral("updateListAddresses");

    // The connection list with its encrypted passwords.
    static inline const QString connectionArray = QStringLiteral("connectionArray");
    static inline const QString salt = QStringLiteral("salt");
    static inline const QString iv = QStringLiteral("iv");

    // The single-server settings of release 1, in the order they are taken
    // over into the connection list (the first one tells they are there).
    static QStringList releaseOneServerKeys()
    {
        return {QStringLiteral("mailServerName"), QStringLiteral("mailServerDescription"),
                QStringLiteral("useCustomPort"),  QStringLiteral("customPortUsed"),
                QStringLiteral("connectionType"), QStringLiteral("useAuth"),
                QStringLiteral("username"),       QStringLiteral("password")};
    }
};

} // namespace quillcast
