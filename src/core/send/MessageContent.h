#pragma once

#include "send/MailAddress.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

namespace quillcast {

// Everything a message is built from. With both bodies the message is
// multipart/alternative (the text first, then the HTML); with one body it is
// that body alone; attachments wrap the body in multipart/mixed.
struct MessageContent
{
    MailAddress from;
    QList<MailAddress> to;
    QString subject;
    std::optional<QString> textBody;
    std::optional<QString> htmlBody;
    // Files attached in this order, each under its own file name.
    QStringList attachmentPaths;
    // The Date header.
    QDateTime date;
    // Further headers, in this order (for example "X-Unsent: 1" on drafts).
    QList<QPair<QByteArray, QString>> extraHeaders;
};

} // namespace quillcast
