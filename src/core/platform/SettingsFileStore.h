#pragma once

#include "util/Result.h"
#include "util/Value.h"

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace quillcast {

// The user's settings file, the ini file that the user defaults and the
// connection list are stored in: the file of QSettings(IniFormat, UserScope,
// "Quillcast", "Quillcast"), or another given file (tests). Every read goes
// to the file as it is now, so a second store object, or a second process,
// sees what the first one wrote.
//
// The file holds the encrypted passwords and the release-1 settings with a
// clear one, so it is kept readable by the user alone (mode 0600), from its
// creation on.
class SettingsFileStore
{
public:
    using Change = std::pair<QString, Value>;

    explicit SettingsFileStore(QString fileName = QString());

    QString fileName() const { return m_fileName; }
    bool contains(const QString &key) const;
    // The stored value; the null Value when there is none.
    Value value(const QString &key) const;
    // The names of the keys right inside group ("a/b" for a group in a
    // group), in the file's order.
    QStringList childKeys(const QString &group) const;
    // Writes every change at once, in order (a null Value removes the key
    // and the group of that name with everything in it), and makes the file
    // private to the user.
    Status write(const std::vector<Change> &changes);

    // The settings file the application uses for the current user.
    static QString userFileName();

private:
    QString m_fileName;
};

} // namespace quillcast
