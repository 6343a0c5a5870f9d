#pragma once

#include "document/DocumentKeys.h"
#include "platform/LXBookmark.h"
#include "util/Value.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace quillcast::testing {

// Writes bytes to a file; false when it could not.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The whole file, or nothing when it cannot be read.
inline QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// An executable shell script, a stand-in for an outside program.
inline bool writeScript(const QString &path, const QString &body)
{
    return writeFile(path, (QStringLiteral("#!/bin/sh\n") + body).toUtf8())
        && QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// An attachment entry as the document keeps it: the path and a bookmark to it.
inline Value attachmentEntry(const QString &path)
{
    return Value(Dict{{DocumentKeys::attachmentPath(), path},
                      {DocumentKeys::attachmentBookmark(), LXBookmark::bookmarkForURL_RO(path).value_or(QByteArray())}});
}

} // namespace quillcast::testing
