#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace quillcast {

// Persistent references to files the user chose, kept in documents (the
// attachments) and in the preferences (the startup document).
//
// This platform has no access grants tied to a user's choice, so a bookmark is
// a token that names the file: its absolute path, the access it was made for,
// and the file's identity at that moment (device and inode). The token is
// plain bytes that survive a save and reopen of the document.
//
// Resolving gives the path back, unless nothing is there any more (the file
// was deleted or moved away: no resolution). When something is there but it
// is not the file that was chosen (replaced by another file of the same name,
// as editors do when they save by renaming a new file over the old one),
// resolution succeeds and reports the bookmark stale: the caller makes a new
// one of the same location. Starting access checks that the file can still be
// opened with the bookmark's access; stopping access has nothing to release.
class LXBookmark
{
public:
    enum class Access { ReadOnly, ReadWrite };

    // A resolved bookmark: where the file is, and the access the bookmark grants.
    struct Location
    {
        QString path;
        Access access = Access::ReadOnly;
    };

    // A bookmark of an existing file that can be opened now with that access;
    // none on any error.
    static std::optional<QByteArray> bookmarkForURL_RW(const QString &path);
    static std::optional<QByteArray> bookmarkForURL_RO(const QString &path);

    // Resolves a bookmark. isStale (when given) is set to false first, then to
    // true when the file at the path is no longer the one chosen. None when the
    // bytes are no bookmark or nothing exists at the path any more.
    static std::optional<Location> urlForBookmark(const QByteArray &bookmark, bool *isStale);

    // False when the file can no longer be opened with the location's access.
    static bool startAccessingSecurityScopedResource(const Location &location);
    static void stopAccessingSecurityScopedResource(const Location &location);

private:
    static std::optional<QByteArray> bookmarkFor(const QString &path, Access access);
};

} // namespace quillcast
