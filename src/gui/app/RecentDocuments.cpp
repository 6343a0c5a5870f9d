#include "app/RecentDocuments.h"

#include "platform/SettingsFileStore.h"
#include "util/List.h"
#include "util/Value.h"

#include <QDebug>
#include <QFileInfo>

namespace quillcast::gui {

namespace {

// One spelling per file: the canonical path when the file exists, so that a
// link or "./a/../a.quill" does not make a second entry.
QString normalised(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

} // namespace

QStringList RecentDocuments::stored() const
{
    QStringList paths;
    const Value value = m_store.value(QString::fromUtf16(Key));
    if (!value.isList())
        return paths;
    value.toList().read([&](const List::Items &items) {
        for (const Value &item : items) {
            const QString path = item.toString();
            if (!path.isEmpty() && !paths.contains(path))
                paths.append(path);
        }
    });
    return paths;
}

void RecentDocuments::store(const QStringList &paths)
{
    List::Items items;
    for (const QString &path : paths)
        items.push_back(Value(path));
    const Value value = paths.isEmpty() ? Value() : Value(List(std::move(items)));
    if (const Status written = m_store.write({{QString::fromUtf16(Key), value}}); !written)
        qWarning().noquote() << "The list of recent mailings could not be stored:" << written.error();
}

QStringList RecentDocuments::paths()
{
    const QStringList all = stored();
    QStringList existing;
    for (const QString &path : all) {
        if (QFileInfo(path).isFile())
            existing.append(path);
    }
    if (existing.size() > Limit)
        existing.resize(Limit);
    if (existing != all)
        store(existing);
    return existing;
}

void RecentDocuments::note(const QString &path)
{
    if (path.isEmpty())
        return;
    const QString entry = normalised(path);
    QStringList paths = stored();
    if (!paths.isEmpty() && paths.first() == entry)
        return; // saved again in place: nothing to write
    paths.removeAll(entry);
    paths.prepend(entry);
    if (paths.size() > Limit)
        paths.resize(Limit);
    store(paths);
}

void RecentDocuments::clear()
{
    if (!stored().isEmpty())
        store({});
}

} // namespace quillcast::gui
