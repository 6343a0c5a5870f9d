#pragma once

#include "send/SystemMailClient.h"

#include <QString>

#include <mutex>

namespace quillcast {

class Clock;

// A system mail client for desktops without a scriptable mail program: each
// message becomes an .eml file in a folder, marked "X-Unsent: 1" so that the
// user's mail program opens it as a draft to edit and send. Files are named
// by the time of writing, a running number and the recipient, so that they
// sort in the order they were made, and never replace an existing file.
//
// It cannot send: with send true it writes the draft all the same (the
// routing gives sends to a client that can deliver; this one is only asked
// to prepare).
class DraftFolderMailClient final : public SystemMailClient
{
public:
    DraftFolderMailClient(QString folder, const Clock &clock);

    Result<QString> prepareEmailViaMailApp(const MessageContent &content, const QString &email, bool send) override;

    const QString &folder() const { return m_folder; }

    // Where the drafts of the mailing at mailingPath go unless the user chose
    // another folder: "NAME-drafts" beside it. An untitled mailing has no
    // place of its own: "Untitled-drafts" in the user's documents folder.
    static QString defaultFolderFor(const QString &mailingPath);

private:
    QString m_folder;
    const Clock &m_clock;
    // Naming and writing one draft at a time keeps two threads from taking
    // the same name.
    std::mutex m_lock;
    quint64 m_counter = 0;
};

} // namespace quillcast
