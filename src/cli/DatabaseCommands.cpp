#include "DatabaseCommands.h"

#include "AttachCommands.h"
#include "ColumnCommands.h"
#include "CommandArguments.h"
#include "OpenedMailing.h"
#include "database/ExceptionCommands.h"
#include "database/RecordCommands.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "document/SendListRebuilder.h"

#include <QSet>

#include <array>
#include <utility>

using namespace Qt::StringLiterals;

namespace quillcast::cli {

namespace {

const QString yesFlag = u"--yes"_s;
const QString exceptionsFlag = u"--exceptions"_s;

// One check mode: the database's command and the exception list's twin.
struct CheckMode
{
    QLatin1StringView name;
    void (RecordCommands::*database)();
    void (ExceptionCommands::*exceptions)();
};

const std::array<CheckMode, 7> &checkModes()
{
    static const std::array<CheckMode, 7> modes{{
        {QLatin1StringView("all"), &RecordCommands::checkAllRecords, &ExceptionCommands::checkAllRecords4Except},
        {QLatin1StringView("none"), &RecordCommands::uncheckAllRecords, &ExceptionCommands::uncheckAllRecords4Except},
        {QLatin1StringView("invert"), &RecordCommands::invertCheckRecords,
         &ExceptionCommands::invertCheckRecords4Except},
        {QLatin1StringView("valid"), &RecordCommands::checkValidEmails, &ExceptionCommands::checkValidEmails4Except},
        {QLatin1StringView("invalid"), &RecordCommands::checkUnvalidEmails,
         &ExceptionCommands::checkUnvalidEmails4Except},
        {QLatin1StringView("duplicate"), &RecordCommands::checkDuplicateEmails,
         &ExceptionCommands::checkDuplicateEmails4Except},
        {QLatin1StringView("unique"), &RecordCommands::checkUniqueEmails,
         &ExceptionCommands::checkUniqueEmails4Except},
    }};
    return modes;
}

const CheckMode *findCheckMode(const QString &name)
{
    for (const CheckMode &mode : checkModes()) {
        if (name == mode.name)
            return &mode;
    }
    return nullptr;
}

QString quotedList(const QStringList &names)
{
    QStringList quoted;
    for (const QString &name : names)
        quoted.append(u'\'' + name + u'\'');
    return quoted.join(u", "_s);
}

// "1 record", "2 records".
QString counted(qsizetype count, const QString &noun)
{
    return QString::number(count) + u' ' + noun + (count == 1 ? u""_s : u"s"_s);
}

// The send list is rebuilt when the desktop application shows it; the CLI
// shows nothing, so after a change of the lists it rebuilds before saving and
// the saved send list is never older than the records it is made of.
bool rebuildSendList(MyDocument &doc)
{
    return doc.sendListRebuilder().rebuildNow();
}

} // namespace

bool DatabaseCommands::handles(const QString &command)
{
    static const QSet<QString> names{u"add-record"_s, u"add-exception"_s, u"column"_s, u"check"_s,
                                     u"delete-checked"_s, u"renumber"_s, u"attach"_s, u"detach"_s};
    return names.contains(command);
}

int DatabaseCommands::run(const QString &command, const QStringList &arguments)
{
    if (command == u"add-record")
        return runAddRecord(arguments);
    if (command == u"add-exception")
        return runAddException(arguments);
    if (command == u"check")
        return runCheck(arguments);
    if (command == u"delete-checked")
        return runDeleteChecked(arguments);
    if (command == u"renumber")
        return runRenumber(arguments);
    if (command == u"column")
        return ColumnCommands(m_ctx).run(arguments);
    if (command == u"attach")
        return AttachCommands(m_ctx).runAttach(arguments);
    if (command == u"detach")
        return AttachCommands(m_ctx).runDetach(arguments);
    return refuse(command, 2, u"not a database command"_s);
}

QString DatabaseCommands::summary()
{
    return u"  add-record FILE.quill NAME=VALUE...\n"
           "                            add a record (NAME a column's name, 'email' the address)\n"
           "  add-exception FILE.quill ADDRESS [NOTE]\n"
           "                            add an address that is never written to\n"
           "  check FILE.quill all|none|invert|valid|invalid|duplicate|unique [--exceptions]\n"
           "                            check records (duplicate: each repeat of an address,\n"
           "                            unique: the first of each); --exceptions: the exception list\n"
           "  delete-checked FILE.quill --yes [--exceptions]\n"
           "                            delete the checked records, or checked exceptions\n"
           "  renumber FILE.quill       number the records 1, 2, 3... in their order\n"_s
        + ColumnCommands::summary() + AttachCommands::summary()
        + u"                            (the editing commands above save the mailing when they\n"
          "                            succeed and leave it untouched when they fail)\n"_s;
}

int DatabaseCommands::refuse(const QString &command, int status, const QString &message)
{
    m_ctx.err << command << ": " << message << Qt::endl;
    return status;
}

int DatabaseCommands::runAddRecord(const QStringList &arguments)
{
    const QString command = u"add-record"_s;
    const CommandArguments args(arguments, {});
    if (!args.unknownOption().isEmpty())
        return refuse(command, 2, u"unknown option '%1'"_s.arg(args.unknownOption()));
    if (args.positional().isEmpty())
        return refuse(command, 2, u"give the mailing and the values as NAME=VALUE"_s);

    // Every assignment is checked before the mailing is read.
    QList<std::pair<QString, QString>> assignments;
    QSet<QString> named;
    for (const QString &argument : args.positional().mid(1)) {
        const qsizetype eq = argument.indexOf(u'=');
        if (eq <= 0)
            return refuse(command, 2, u"'%1' is not NAME=VALUE"_s.arg(argument));
        const QString name = argument.left(eq);
        if (named.contains(name))
            return refuse(command, 2, u"the column '%1' is given twice"_s.arg(name));
        named.insert(name);
        assignments.append({name, argument.mid(eq + 1)});
    }

    OpenedMailing mailing(m_ctx, command, false);
    if (!mailing.open(args.positional().first()))
        return 1;
    MyDocument &doc = mailing.document();

    QList<std::pair<QString, QString>> values; // inner key, value
    const QStringList columns = mailing.columnNames();
    for (const auto &[name, value] : assignments) {
        const qsizetype index = columns.indexOf(name);
        if (index < 0)
            return refuse(command, 2,
                          u"the mailing has no column '%1'; its columns are %2"_s.arg(name, quotedList(columns)));
        const QString inner = doc.keyArray().at(index).toDict().stringValue(DocumentKeys::innerKey());
        if (inner == DocumentKeys::numberInnerKey() || inner == DocumentKeys::checkedInnerKey())
            return refuse(command, 2,
                          u"the column '%1' is kept by the mailing itself (see renumber and check)"_s.arg(name));
        values.append({inner, value});
    }

    RecordCommands records(doc);
    Dict record = records.getNewAddressRow();
    for (const auto &[inner, value] : values)
        record.set(inner, Value(value));
    records.addTheAddress(record);
    if (!rebuildSendList(doc))
        return refuse(command, 1, u"the send list could not be rebuilt; nothing was saved"_s);
    if (!mailing.save())
        return 1;

    const Value address = record.value(DocumentKeys::emailInnerKey());
    m_ctx.out << "Added record " << record.value(DocumentKeys::numberInnerKey()).toInt64();
    if (ExceptionCommands(doc).emailInExceptionList(address))
        m_ctx.out << " (its address is on the exception list: it is not in the send list)";
    m_ctx.out << Qt::endl;
    return 0;
}

int DatabaseCommands::runAddException(const QStringList &arguments)
{
    const QString command = u"add-exception"_s;
    const CommandArguments args(arguments, {});
    if (!args.unknownOption().isEmpty())
        return refuse(command, 2, u"unknown option '%1'"_s.arg(args.unknownOption()));
    const QStringList &positional = args.positional();
    if (positional.size() < 2 || positional.size() > 3)
        return refuse(command, 2, u"give the mailing, the address and optionally a note"_s);
    const QString address = positional.at(1);
    if (address.trimmed().isEmpty())
        return refuse(command, 2, u"the address is empty"_s);

    OpenedMailing mailing(m_ctx, command, false);
    if (!mailing.open(positional.first()))
        return 1;
    MyDocument &doc = mailing.document();

    ExceptionCommands exceptions(doc);
    const bool known = exceptions.emailInExceptionList(Value(address));
    Dict record = exceptions.getNewExceptRow();
    record.set(DocumentKeys::exceptEmail(), Value(address));
    record.set(DocumentKeys::exceptNote(), Value(positional.value(2, u""_s)));
    exceptions.addTheExcept(record);
    if (!rebuildSendList(doc))
        return refuse(command, 1, u"the send list could not be rebuilt; nothing was saved"_s);
    if (!mailing.save())
        return 1;

    m_ctx.out << "Added exception " << record.value(DocumentKeys::exceptNumber()).toInt64() << " (" << address << ")";
    if (known)
        m_ctx.out << "; the address was on the exception list already";
    m_ctx.out << Qt::endl;
    return 0;
}

int DatabaseCommands::runCheck(const QStringList &arguments)
{
    const QString command = u"check"_s;
    const CommandArguments args(arguments, {exceptionsFlag});
    if (!args.unknownOption().isEmpty())
        return refuse(command, 2, u"unknown option '%1'"_s.arg(args.unknownOption()));
    if (args.positional().size() != 2)
        return refuse(command, 2, u"give the mailing and one of all, none, invert, valid, invalid, duplicate, unique"_s);
    const CheckMode *mode = findCheckMode(args.positional().at(1));
    if (!mode)
        return refuse(command, 2,
                      u"unknown check '%1'; use all, none, invert, valid, invalid, duplicate or unique"_s.arg(
                          args.positional().at(1)));

    OpenedMailing mailing(m_ctx, command, false);
    if (!mailing.open(args.positional().first()))
        return 1;
    MyDocument &doc = mailing.document();

    const bool onExceptions = args.has(exceptionsFlag);
    qsizetype checked = 0;
    qsizetype total = 0;
    if (onExceptions) {
        ExceptionCommands exceptions(doc);
        (exceptions.*(mode->exceptions))();
        checked = exceptions.checkedRecordsExceptN();
        total = doc.exceptArray().size();
    } else {
        RecordCommands records(doc);
        (records.*(mode->database))();
        checked = records.checkedRecordsDataBaseN();
        total = doc.addressArray().size();
    }
    if (!mailing.save())
        return 1;
    m_ctx.out << "Checked " << checked << " of " << counted(total, onExceptions ? u"exception"_s : u"record"_s)
              << Qt::endl;
    return 0;
}

int DatabaseCommands::runDeleteChecked(const QStringList &arguments)
{
    const QString command = u"delete-checked"_s;
    const CommandArguments args(arguments, {yesFlag, exceptionsFlag});
    if (!args.unknownOption().isEmpty())
        return refuse(command, 2, u"unknown option '%1'"_s.arg(args.unknownOption()));
    if (args.positional().size() != 1)
        return refuse(command, 2, u"give the path of one mailing"_s);
    const bool onExceptions = args.has(exceptionsFlag);
    const QString what = onExceptions ? u"exception"_s : u"record"_s;
    // The deletion cannot be undone: the user says so on the command line.
    if (!args.has(yesFlag))
        return refuse(command, 2, u"deleting the checked %1s cannot be undone and needs --yes"_s.arg(what));

    OpenedMailing mailing(m_ctx, command, true);
    if (!mailing.open(args.positional().first()))
        return 1;
    MyDocument &doc = mailing.document();

    const qsizetype checked = onExceptions ? ExceptionCommands(doc).checkedRecordsExceptN()
                                           : RecordCommands(doc).checkedRecordsDataBaseN();
    if (checked == 0) {
        m_ctx.out << "No " << what << " is checked; nothing was deleted" << Qt::endl;
        return 0;
    }

    // The question's buttons are "OK" then "Cancel"; --yes answers "OK".
    mailing.alerts().setConsentButton(u"OK"_s);
    qsizetype deleted = -1;
    const auto done = [&deleted](qsizetype count) { deleted = count; };
    if (onExceptions)
        ExceptionCommands(doc).deleteCheckRecords4Except(done);
    else
        RecordCommands(doc).deleteCheckRecords(done);
    if (deleted < 0)
        return refuse(command, 1, u"the deletion was not confirmed; nothing was deleted"_s);
    if (!rebuildSendList(doc))
        return refuse(command, 1, u"the send list could not be rebuilt; nothing was saved"_s);
    if (!mailing.save())
        return 1;
    m_ctx.out << "Deleted " << counted(deleted, what) << Qt::endl;
    return 0;
}

int DatabaseCommands::runRenumber(const QStringList &arguments)
{
    const QString command = u"renumber"_s;
    const CommandArguments args(arguments, {});
    if (!args.unknownOption().isEmpty())
        return refuse(command, 2, u"unknown option '%1'"_s.arg(args.unknownOption()));
    if (args.positional().size() != 1)
        return refuse(command, 2, u"give the path of one mailing"_s);

    OpenedMailing mailing(m_ctx, command, false);
    if (!mailing.open(args.positional().first()))
        return 1;
    RecordCommands(mailing.document()).resetCounterField();
    if (!mailing.save())
        return 1;
    m_ctx.out << "Renumbered " << counted(mailing.document().addressArray().size(), u"record"_s) << Qt::endl;
    return 0;
}

} // namespace quillcast::cli
