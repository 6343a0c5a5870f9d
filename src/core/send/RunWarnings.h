#pragma once

#include <QStringList>

namespace quillcast {

class MyDocument;

// What the user should hear before a send run starts, although nothing
// stops it: a message too big for most providers, an HTML mailing without
// its text alternative, an empty subject. Each warning is one sentence; the
// command line prints them, a window can show them.
class RunWarnings
{
public:
    // Messages larger than this are refused by many providers once their
    // attachments are Base64-encoded (25 MB is a common limit for the
    // encoded message; 10 MB leaves room for the providers that are
    // stricter).
    static constexpr qint64 kLargeMessageBytes = 10 * 1024 * 1024;

    static QStringList beforeRun(const MyDocument &document);
    // The size of a message with these texts and files once encoded for
    // sending: Base64 for the files (4 bytes for 3, with a line break every
    // 76 characters), the texts as UTF-8.
    static qint64 estimatedSize(const QStringList &texts, const QStringList &attachmentPaths);
};

} // namespace quillcast
