#pragma once

#include <QStringList>

namespace quillcast {
class SettingsFileStore;
}

namespace quillcast::gui {

// The mailings opened or saved lately, newest first, kept in the user's
// settings file so that the next run offers them too.
class RecentDocuments
{
public:
    static constexpr qsizetype Limit = 10;
    static constexpr char16_t Key[] = u"recentDocuments";

    explicit RecentDocuments(SettingsFileStore &store) : m_store(store) {}

    // The stored paths whose files still exist; the others are forgotten.
    QStringList paths();
    // path goes first (once, however it is spelled); the oldest beyond the
    // limit go.
    void note(const QString &path);
    void clear();

private:
    QStringList stored() const;
    void store(const QStringList &paths);

    SettingsFileStore &m_store;
};

} // namespace quillcast::gui
