#include "AttachCommands.h"

#include "CommandArguments.h"
#include "OpenedMailing.h"
#include "database/AttachmentCommands.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"

using namespace Qt::StringLiterals;

namespace quillcast::cli {

QString AttachCommands::summary()
{
    return u"  attach FILE.quill PATH    add a file to the message's attachments\n"
           "  detach FILE.quill INDEX   remove an attachment (counted from 1, as attach prints)\n"_s;
}

int AttachCommands::refuse(const QString &command, int status, const QString &message)
{
    m_ctx.err << command << ": " << message << Qt::endl;
    return status;
}

int AttachCommands::runAttach(const QStringList &arguments)
{
    const QString command = u"attach"_s;
    const CommandArguments args(arguments, {});
    if (!args.unknownOption().isEmpty())
        return refuse(command, 2, u"unknown option '%1'"_s.arg(args.unknownOption()));
    const QStringList &positional = args.positional();
    if (positional.size() != 2)
        return refuse(command, 2, u"give the mailing and the file to attach"_s);
    const QString file = positional.at(1);

    OpenedMailing mailing(m_ctx, command, false);
    if (!mailing.open(positional.first()))
        return 1;
    MyDocument &doc = mailing.document();
    const Status added = AttachmentCommands(doc).addAttachmentPath(file);
    if (!added)
        return refuse(command, 1, added.error());
    if (!mailing.save())
        return 1;
    const List entries = doc.attachmentBookmarks();
    m_ctx.out << "Attached " << entries.at(entries.size() - 1).toDict().stringValue(DocumentKeys::attachmentPath())
              << " as attachment " << entries.size() << Qt::endl;
    return 0;
}

int AttachCommands::runDetach(const QStringList &arguments)
{
    const QString command = u"detach"_s;
    const CommandArguments args(arguments, {});
    if (!args.unknownOption().isEmpty())
        return refuse(command, 2, u"unknown option '%1'"_s.arg(args.unknownOption()));
    const QStringList &positional = args.positional();
    if (positional.size() != 2)
        return refuse(command, 2, u"give the mailing and the number of the attachment"_s);
    bool isNumber = false;
    const qint64 number = positional.at(1).toLongLong(&isNumber);
    if (!isNumber || number < 1)
        return refuse(command, 2,
                      u"'%1' is not an attachment number; they count from 1"_s.arg(positional.at(1)));

    OpenedMailing mailing(m_ctx, command, false);
    if (!mailing.open(positional.first()))
        return 1;
    MyDocument &doc = mailing.document();
    const List entries = doc.attachmentBookmarks();
    if (number > entries.size())
        return refuse(command, 2,
                      u"the mailing has %1 attachment(s); there is no attachment %2"_s.arg(entries.size()).arg(number));
    const QString path = entries.at(number - 1).toDict().stringValue(DocumentKeys::attachmentPath());
    if (!AttachmentCommands(doc).removeAttachmentPath({qsizetype(number - 1)}))
        return refuse(command, 1, u"attachment %1 could not be removed"_s.arg(number));
    if (!mailing.save())
        return 1;
    m_ctx.out << "Removed attachment " << number << " (" << path << ")" << Qt::endl;
    return 0;
}

} // namespace quillcast::cli
