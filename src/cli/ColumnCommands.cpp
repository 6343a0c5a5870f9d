#include "ColumnCommands.h"

#include "CommandArguments.h"
#include "OpenedMailing.h"
#include "database/KeyCommands.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"

using namespace Qt::StringLiterals;

namespace quillcast::cli {

namespace {

// What the key-name rule refuses: a name that is blank once leading white space is gone.
bool isBlank(const QString &name)
{
    return name.trimmed().isEmpty();
}

} // namespace

QString ColumnCommands::summary()
{
    return u"  column add FILE.quill [NAME]\n"
           "                            add a column (named KEY<n> unless NAME is given)\n"
           "  column rename FILE.quill OLD NEW\n"
           "                            rename a column (not #, sel or email)\n"
           "  column delete FILE.quill NAME --yes\n"
           "                            delete a column with every record's value in it\n"_s;
}

int ColumnCommands::refuse(const QString &command, int status, const QString &message)
{
    m_ctx.err << command << ": " << message << Qt::endl;
    return status;
}

int ColumnCommands::run(const QStringList &arguments)
{
    const QString action = arguments.value(0);
    if (action == u"add")
        return runAdd(arguments.mid(1));
    if (action == u"rename")
        return runRename(arguments.mid(1));
    if (action == u"delete")
        return runDelete(arguments.mid(1));
    return refuse(u"column"_s, 2, u"give add, rename or delete, then the mailing"_s);
}

int ColumnCommands::runAdd(const QStringList &arguments)
{
    const QString command = u"column add"_s;
    const CommandArguments args(arguments, {});
    if (!args.unknownOption().isEmpty())
        return refuse(command, 2, u"unknown option '%1'"_s.arg(args.unknownOption()));
    const QStringList &positional = args.positional();
    if (positional.isEmpty() || positional.size() > 2)
        return refuse(command, 2, u"give the mailing and optionally the column's name"_s);
    const bool named = positional.size() == 2;
    const QString name = positional.value(1);
    if (named && isBlank(name))
        return refuse(command, 2, u"a column's name cannot be blank"_s);

    OpenedMailing mailing(m_ctx, command, false);
    if (!mailing.open(positional.first()))
        return 1;
    MyDocument &doc = mailing.document();
    if (named && mailing.columnNames().contains(name))
        return refuse(command, 2, u"the mailing has a column '%1' already"_s.arg(name));

    KeyCommands keys(doc);
    keys.insertNewColumnInTable();
    const qsizetype index = doc.keyArray().size() - 1;
    if (named && !keys.renameKey(index, name))
        return refuse(command, 1, u"the column could not be named '%1'; nothing was saved"_s.arg(name));
    if (!mailing.save())
        return 1;
    m_ctx.out << "Added column " << mailing.columnNames().value(index) << Qt::endl;
    return 0;
}

int ColumnCommands::runRename(const QStringList &arguments)
{
    const QString command = u"column rename"_s;
    const CommandArguments args(arguments, {});
    if (!args.unknownOption().isEmpty())
        return refuse(command, 2, u"unknown option '%1'"_s.arg(args.unknownOption()));
    const QStringList &positional = args.positional();
    if (positional.size() != 3)
        return refuse(command, 2, u"give the mailing, the column's name and its new name"_s);
    const QString oldName = positional.at(1);
    const QString newName = positional.at(2);
    if (isBlank(newName))
        return refuse(command, 2, u"a column's name cannot be blank"_s);

    OpenedMailing mailing(m_ctx, command, false);
    if (!mailing.open(positional.first()))
        return 1;
    const QStringList columns = mailing.columnNames();
    const qsizetype index = columns.indexOf(oldName);
    if (index < 0)
        return refuse(command, 2, u"the mailing has no column '%1'"_s.arg(oldName));
    if (index < DocumentKeys::fixedKeyCount)
        return refuse(command, 2, u"the column '%1' is fixed and cannot be renamed"_s.arg(oldName));
    if (newName != oldName && columns.contains(newName))
        return refuse(command, 2, u"the mailing has a column '%1' already"_s.arg(newName));

    if (!KeyCommands(mailing.document()).renameKey(index, newName))
        return refuse(command, 1, u"the column could not be renamed; nothing was saved"_s);
    if (!mailing.save())
        return 1;
    m_ctx.out << "Renamed column " << oldName << " to " << newName << Qt::endl;
    return 0;
}

int ColumnCommands::runDelete(const QStringList &arguments)
{
    const QString command = u"column delete"_s;
    const QString yesFlag = u"--yes"_s;
    const CommandArguments args(arguments, {yesFlag});
    if (!args.unknownOption().isEmpty())
        return refuse(command, 2, u"unknown option '%1'"_s.arg(args.unknownOption()));
    const QStringList &positional = args.positional();
    if (positional.size() != 2)
        return refuse(command, 2, u"give the mailing and the column's name"_s);
    const QString name = positional.at(1);

    OpenedMailing mailing(m_ctx, command, args.has(yesFlag));
    if (!mailing.open(positional.first()))
        return 1;
    const qsizetype index = mailing.columnNames().indexOf(name);
    if (index < 0)
        return refuse(command, 2, u"the mailing has no column '%1'"_s.arg(name));
    if (index < DocumentKeys::fixedKeyCount)
        return refuse(command, 2, u"the column '%1' is fixed and cannot be deleted"_s.arg(name));
    // Checked after the name, so that a mistyped name is told first.
    if (!args.has(yesFlag))
        return refuse(command, 2,
                      u"deleting the column '%1' and its values cannot be undone and needs --yes"_s.arg(name));

    // The warning's buttons are "Cancel" then "Delete"; --yes answers "Delete".
    mailing.alerts().setConsentButton(u"Delete"_s);
    bool deleted = false;
    KeyCommands(mailing.document()).deleteSelectedKey(index, [&deleted](bool done) { deleted = done; });
    if (!deleted)
        return refuse(command, 1, u"the column was not deleted"_s);
    if (!mailing.save())
        return 1;
    m_ctx.out << "Deleted column " << name << " and its values" << Qt::endl;
    return 0;
}

} // namespace quillcast::cli
