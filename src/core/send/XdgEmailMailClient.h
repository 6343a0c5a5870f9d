#pragma once

#include "send/SystemMailClient.h"

#include <QString>
#include <QStringList>

namespace quillcast {

// Hands a message to the desktop's mail program through xdg-email, which
// opens it in a compose window for the user. The program is started
// directly, never through a shell, and is not waited for.
//
// It only prepares: a message that is to leave at once is refused (the
// compose window cannot be told to send). A compose window takes text only:
// an HTML message opens with its text alternative.
class XdgEmailMailClient final : public SystemMailClient
{
public:
    explicit XdgEmailMailClient(QString program = QStringLiteral("xdg-email"));

    Result<QString> prepareEmailViaMailApp(const MessageContent &content, const QString &email, bool send) override;

    // The command line after the program name. The recipient goes last as a
    // mailto: URL, so that a text starting with "-" or without "@" cannot be
    // read as an option or rejected; an empty subject or body is left out
    // (xdg-email refuses an empty option value). The sender cannot be passed:
    // the mail program uses its own account.
    static QStringList arguments(const QString &body, const QString &email, const QString &title,
                                 const QStringList &attachedFiles);

private:
    QString m_program;
};

} // namespace quillcast
