#include "ImportExportCommands.h"

#include "ParsedArguments.h"

#include "CollectingAlertPresenter.h"
#include "CommandLineFilePanel.h"
#include "OpenedMailing.h"
#include "ProgressLine.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "export/DocumentExport.h"
#include "export/ExportDelimiters.h"
#include "export/ExportLayouts.h"
#include "import/DocumentImport.h"
#include "import/ImportChoices.h"
#include "import/LXSmartStringFileReader.h"
#include "import/MyDataImportManager.h"
#include "import/MyExceptImportManager.h"
#include "platform/ManualMainLoop.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <chrono>
#include <optional>

using namespace Qt::StringLiterals;

namespace quillcast::cli {

namespace {

// "a, b, c or d"
QString choiceList(const QStringList &names)
{
    if (names.size() < 2)
        return names.join(QString());
    return names.mid(0, names.size() - 1).join(u", "_s) + u" or "_s + names.last();
}

QString formatChoices()
{
    QStringList names;
    for (const ImportChoices::Choice &choice : ImportChoices::formats())
        names.append(choice.names.first());
    return choiceList(names);
}

QString encodingChoices()
{
    QStringList codes;
    QStringList names;
    for (const ImportChoices::Choice &choice : ImportChoices::encodings()) {
        if (choice.code == LXSmartStringFileReader::EncodingAutomatic)
            continue;
        codes.append(QString::number(choice.code));
        names.append(choice.names.first());
    }
    return u"auto, a code (%1) or a name (%2)"_s.arg(codes.join(u", "_s), names.join(u", "_s));
}

QString layoutChoices()
{
    QStringList names;
    for (const ExportLayouts::Layout &layout : ExportLayouts::all())
        names.append(layout.name);
    return choiceList(names);
}

// Turns the main loop until the importer's background run has ended, showing
// its progress on the terminal.
void waitForImport(LXDataImportManager &importer, ManualMainLoop &loop, ProgressLine &line, const QString &dataName)
{
    const QMetaObject::Connection progress = QObject::connect(
        &importer, &LXDataImportManager::progressChanged, [&](qint64 done, qint64 total) {
            if (importer.phase() == LXDataImportManager::Phase::Loading)
                line.show(total > 0 ? u"Reading "_s + dataName : u"Splitting "_s + dataName, done, total, u"bytes"_s);
            else
                line.show(u"Importing"_s, done, total, u"rows"_s);
        });
    while (importer.isRunning()) {
        loop.waitForPending(std::chrono::milliseconds(100));
        loop.runPending();
    }
    loop.runPending();
    QObject::disconnect(progress);
    line.clear();
}

// The position of name among the candidates: the exact spelling first, else
// the only one that matches when case is ignored; -1 when none (or several).
qsizetype findName(const QStringList &candidates, const QString &name)
{
    const qsizetype exact = candidates.indexOf(name);
    if (exact >= 0)
        return exact;
    qsizetype found = -1;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        if (candidates[i].compare(name, Qt::CaseInsensitive) == 0) {
            if (found >= 0)
                return -1;
            found = i;
        }
    }
    return found;
}

QString shortened(const QString &text)
{
    return text.size() > 30 ? text.left(29) + u'…' : text;
}

enum class MapMode { Default, FirstRow, Cascade, Explicit };

// The destination indices of the exception importer.
constexpr qint32 kExceptEmail = 2;
constexpr qint32 kExceptNote = 3;

// The exception importer lists no keys for the first-row and cascade tools;
// on the command line they work on its two fields, "email" then "note".
void exceptFromFirstRow(LXDataImportManager &importer, ManualMainLoop &loop)
{
    importer.ResetImportFields();
    const qsizetype columns = std::min<qsizetype>(importer.destFieldArray().size(),
                                                  importer.rows().isEmpty() ? 0 : importer.rows().fieldCount(0));
    for (qsizetype j = 0; j < columns; ++j) {
        const QString name = importer.rows().field(0, j).toLower();
        if (name == DocumentKeys::exceptEmail())
            importer.chooseDestination(j, kExceptEmail);
        else if (name == DocumentKeys::exceptNote())
            importer.chooseDestination(j, kExceptNote);
        loop.runPending();
    }
    importer.setDoNotImportFirstRecord(true);
}

void exceptCascade(LXDataImportManager &importer, ManualMainLoop &loop)
{
    importer.ResetImportFields();
    const qsizetype columns = importer.destFieldArray().size();
    if (columns > 0)
        importer.chooseDestination(0, kExceptEmail);
    loop.runPending();
    if (columns > 1)
        importer.chooseDestination(1, kExceptNote);
    loop.runPending();
}

qint32 destinationOf(const LXDataImportManager &importer, qsizetype column)
{
    return importer.destFieldArray().at(column).toDict().value(u"destination"_s).toInt32();
}

void printAlerts(QTextStream &err, const QString &command, const QList<Alert> &alerts)
{
    for (const Alert &alert : alerts) {
        err << command << ": " << alert.messageText;
        if (!alert.informativeText.isEmpty())
            err << ": " << alert.informativeText;
        err << Qt::endl;
    }
}

} // namespace

bool ImportExportCommands::handles(const QString &command)
{
    return command == u"import" || command == u"export";
}

int ImportExportCommands::run(const QString &command, const QStringList &arguments)
{
    if (command == u"import")
        return runImport(arguments);
    if (command == u"export")
        return runExport(arguments);
    m_ctx.err << command << ": not available" << Qt::endl;
    return 2;
}

QString ImportExportCommands::summary()
{
    return u"  import FILE.quill DATA [--exceptions] [--format auto|tab|comma|semicolon]\n"
           "         [--encoding auto|CODE|NAME] [--map MAPPING] [--skip-first]\n"
           "                            add one record per row of the text file DATA and save;\n"
           "                            --exceptions: into the exception list. --map: first-row\n"
           "                            (names that match no column make new columns), cascade,\n"
           "                            or one destination per column, comma-separated (a column\n"
           "                            name, new, or - for none)\n"
           "  export FILE.quill OUT [--exceptions] [--format custom|tsv|quoted-csv|html-table|\n"
           "         html-page|csv] [--keys NAME,...] [--names-row] [--custom-start-of-file T]\n"
           "         [--custom-end-of-file T] [--custom-start-of-record T] [--custom-end-of-record T]\n"
           "         [--custom-field-open-tag T] [--custom-field-close-tag T]\n"
           "         [--custom-field-separator T] [--custom-end-of-record-after-last yes|no]\n"
           "                            write the records (or exceptions) as UTF-8 text, every\n"
           "                            column unless --keys names the ones to write, in order;\n"
           "                            in the custom texts \\n and \\t stand for a line feed\n"
           "                            and a tab\n"_s;
}

int ImportExportCommands::runImport(const QStringList &arguments)
{
    QTextStream &err = m_ctx.err;
    const ParsedArguments args = ParsedArguments::parse(arguments, {u"--exceptions"_s, u"--skip-first"_s},
                                                {u"--format"_s, u"--encoding"_s, u"--map"_s});
    if (!args.error.isEmpty()) {
        err << "import: " << args.error << "; see quillcast-cli --help" << Qt::endl;
        return 2;
    }
    if (args.positional.size() != 2) {
        err << "import: give the mailing and the text file to import" << Qt::endl;
        return 2;
    }
    const QString path = args.positional[0];
    const QString dataPath = args.positional[1];
    const bool exceptions = args.flags.contains(u"--exceptions"_s);

    const std::optional<qint32> format = ImportChoices::formatByName(args.values.value(u"--format"_s, u"auto"_s));
    if (!format) {
        err << "import: --format takes " << formatChoices() << Qt::endl;
        return 2;
    }
    const std::optional<qint32> encoding =
        ImportChoices::encodingByName(args.values.value(u"--encoding"_s, u"auto"_s));
    if (!encoding) {
        err << "import: --encoding takes " << encodingChoices() << Qt::endl;
        return 2;
    }
    MapMode mode = MapMode::Default;
    QStringList explicitMap;
    if (args.values.contains(u"--map"_s)) {
        const QString mapping = args.values.value(u"--map"_s);
        if (mapping == u"first-row") {
            mode = MapMode::FirstRow;
        } else if (mapping == u"cascade") {
            mode = MapMode::Cascade;
        } else {
            mode = MapMode::Explicit;
            explicitMap = mapping.split(u',');
            for (const QString &item : std::as_const(explicitMap)) {
                if (item.trimmed().isEmpty()) {
                    err << "import: --map has an empty destination; use - for a column that is not imported"
                        << Qt::endl;
                    return 2;
                }
                if (exceptions && item.trimmed() == u"new") {
                    err << "import: the exception list has no new columns; its destinations are email and note"
                        << Qt::endl;
                    return 2;
                }
            }
        }
    }

    // The mailing is locked from the read to the save, so that no other
    // process saves in between. The import's panel and loop outlive the
    // session, whose importer uses them.
    CommandLineFilePanel panel(dataPath);
    CollectingAlertPresenter alerts;
    ManualMainLoop loop;
    OpenedMailing mailing(m_ctx, u"import"_s, false);
    if (!mailing.report(mailing.session().open(path)))
        return 1;
    MyDocument &doc = mailing.document();

    // The import runs as the window would run it: the chooser answers with
    // the file, the loading and the settings sheet follow at the next turns
    // of the loop.
    mailing.session().setDialogServices({panel, alerts, loop});
    DocumentImport &documentImport = mailing.session().documentImport();
    // Reading, splitting and making the records run on a worker, as in the
    // window, so that a terminal can show how far they have got.
    documentImport.setRunsInBackground(true);
    MyDataImportManager *addressImporter = exceptions ? nullptr : &documentImport.importFromTextFile();
    LXDataImportManager &importer = addressImporter
        ? static_cast<LXDataImportManager &>(*addressImporter)
        : static_cast<LXDataImportManager &>(documentImport.importExceptFromTextFile());
    importer.setFileFormatToImport(*format);
    importer.setFileEncodeToImport(*encoding);
    ProgressLine line(err, m_ctx.progressLine);
    const QString dataName = QFileInfo(dataPath).fileName();
    loop.runPending();
    waitForImport(importer, loop, line, dataName);
    if (importer.phase() != LXDataImportManager::Phase::Settings) {
        printAlerts(err, u"import"_s, alerts.collected());
        if (alerts.collected().isEmpty())
            err << "import: " << dataPath << " could not be loaded" << Qt::endl;
        return 1;
    }

    const qsizetype columns = importer.destFieldArray().size();
    const QStringList titles = importer.importFieldMenuTitles();
    QString modeName;
    switch (mode) {
    case MapMode::Default:
    case MapMode::FirstRow:
        if (exceptions)
            exceptFromFirstRow(importer, loop);
        else
            importer.tryAssignFromFirstRow();
        modeName = u"first row"_s;
        if (mode == MapMode::FirstRow || importer.numberOfImportedFields() > 0) {
            if (addressImporter)
                addressImporter->newColumnsForUnmatchedNames();
            break;
        }
        // The first row names no column: it is data, and the columns go to
        // the listed keys in order.
        importer.setDoNotImportFirstRecord(false);
        [[fallthrough]];
    case MapMode::Cascade:
        if (exceptions)
            exceptCascade(importer, loop);
        else
            importer.AssignCascadeImportFields();
        modeName = u"cascade"_s;
        break;
    case MapMode::Explicit: {
        if (explicitMap.size() > columns) {
            err << "import: --map gives " << explicitMap.size() << " destinations but " << dataPath << " has "
                << columns << (columns == 1 ? " column" : " columns") << Qt::endl;
            return 2;
        }
        // Listed destinations by name: the keys from index 4 on, or the
        // exception list's two fields.
        const qint32 firstListed = exceptions ? kExceptEmail : importer.rowToStartCascadeAssignment();
        const QStringList listed = titles.mid(firstListed);
        importer.ResetImportFields();
        QSet<qint32> taken;
        for (qsizetype j = 0; j < explicitMap.size(); ++j) {
            const QString item = explicitMap[j].trimmed();
            qint32 d = 0;
            if (item == u"-") {
                d = 0;
            } else if (item == u"new") {
                d = 2;
            } else {
                const qsizetype at = findName(listed, item);
                if (at < 0) {
                    err << "import: '" << item << "' is not a column to import into; the choices are "
                        << (listed.isEmpty() ? u"(none)"_s : listed.join(u", "_s)) << ", new and -" << Qt::endl;
                    return 2;
                }
                d = qint32(firstListed + at);
                if (taken.contains(d)) {
                    err << "import: --map gives '" << item << "' to two columns" << Qt::endl;
                    return 2;
                }
                taken.insert(d);
            }
            importer.chooseDestination(j, d);
            loop.runPending();
        }
        modeName = u"--map"_s;
        break;
    }
    }
    if (args.flags.contains(u"--skip-first"_s))
        importer.setDoNotImportFirstRecord(true);
    if (importer.numberOfImportedFields() == 0) {
        err << "import: no column of " << dataPath << " would be imported; give the destinations with --map"
            << Qt::endl;
        return 2;
    }

    // The first row's fields for the mapping printed below, taken before the
    // run lets the loaded rows go.
    QStringList samples;
    for (qsizetype j = 0; j < columns; ++j)
        samples.append(importer.rows().isEmpty() || j >= importer.rows().fieldCount(0) ? QString()
                                                                                      : importer.rows().field(0, j));
    const List destination = exceptions ? doc.exceptArray() : doc.addressArray();
    const qsizetype before = destination.size();
    importer.DoImport();
    waitForImport(importer, loop, line, dataName);
    const qsizetype added = destination.size() - before;

    // The mapping used, with the names of the columns the run made.
    QHash<QString, QString> publicNames;
    for (const Value &key : doc.keyArray().items()) {
        const Dict::Snapshot k = key.toDict().snapshot();
        publicNames.insert(k.stringValue(DocumentKeys::innerKey()), k.stringValue(DocumentKeys::publicKey()));
    }
    const QStringList finalKeys = importer.innerKeyFinalDestinationArray();
    QTextStream &out = m_ctx.out;
    out << "Mapping (" << modeName << "):\n";
    for (qsizetype j = 0; j < columns; ++j) {
        const qint32 d = destinationOf(importer, j);
        const QString &sample = samples[j];
        out << "  column " << (j + 1) << " \"" << shortened(sample) << "\" -> ";
        if (d == 0 || d >= titles.size() || titles[d].isEmpty())
            out << "(not imported)";
        else if (!exceptions && d == 2)
            out << publicNames.value(finalKeys.value(j)) << " (new column)";
        else
            out << titles[d];
        out << "\n";
    }
    if (importer.doNotImportFirstRecord())
        out << "First row not imported\n";
    out << "Added " << added << (added == 1 ? " record" : " records")
        << (exceptions ? " to the exception list\n" : " to the database\n");

    if (!mailing.report(mailing.session().save()))
        return 1;
    out << "Saved " << path << Qt::endl;
    return 0;
}

int ImportExportCommands::runExport(const QStringList &arguments)
{
    QTextStream &err = m_ctx.err;
    // The custom layout's fields, as the settings sheet names them.
    using Setter = void (LXDataExportManager::*)(const QString &);
    const QList<std::pair<QString, Setter>> customFields{
        {u"--custom-start-of-file"_s, &LXDataExportManager::setStart_of_file},
        {u"--custom-end-of-file"_s, &LXDataExportManager::setEnd_of_file},
        {u"--custom-start-of-record"_s, &LXDataExportManager::setStart_of_record},
        {u"--custom-end-of-record"_s, &LXDataExportManager::setEnd_of_record},
        {u"--custom-field-open-tag"_s, &LXDataExportManager::setField_open_tag},
        {u"--custom-field-close-tag"_s, &LXDataExportManager::setField_close_tag},
        {u"--custom-field-separator"_s, &LXDataExportManager::setField_separator},
    };
    const QString afterLast = u"--custom-end-of-record-after-last"_s;
    QSet<QString> valueNames{u"--format"_s, u"--keys"_s, afterLast};
    for (const auto &field : customFields)
        valueNames.insert(field.first);
    const ParsedArguments args = ParsedArguments::parse(arguments, {u"--exceptions"_s, u"--names-row"_s}, valueNames);
    if (!args.error.isEmpty()) {
        err << "export: " << args.error << "; see quillcast-cli --help" << Qt::endl;
        return 2;
    }
    if (args.positional.size() != 2) {
        err << "export: give the mailing and the file to write" << Qt::endl;
        return 2;
    }
    const QString path = args.positional[0];
    const QString outPath = args.positional[1];
    const bool exceptions = args.flags.contains(u"--exceptions"_s);

    bool anyCustom = args.values.contains(afterLast);
    for (const auto &field : customFields)
        anyCustom = anyCustom || args.values.contains(field.first);
    qint32 format = anyCustom ? ExportDelimiters::FormatCustom : ExportDelimiters::FormatTsv;
    if (args.values.contains(u"--format"_s)) {
        const std::optional<ExportLayouts::Layout> layout = ExportLayouts::byName(args.values.value(u"--format"_s));
        if (!layout) {
            err << "export: --format takes " << layoutChoices() << Qt::endl;
            return 2;
        }
        format = layout->code;
    }
    if (anyCustom && format != ExportDelimiters::FormatCustom) {
        err << "export: the --custom-... texts are only written by --format custom" << Qt::endl;
        return 2;
    }
    QString lastRecord;
    if (args.values.contains(afterLast)) {
        const QString answer = args.values.value(afterLast).toLower();
        if (answer != u"yes" && answer != u"no") {
            err << "export: " << afterLast << " takes yes or no" << Qt::endl;
            return 2;
        }
        lastRecord = answer == u"yes" ? u"YES"_s : u"NO"_s;
    }
    QStringList keyNames;
    if (args.values.contains(u"--keys"_s)) {
        keyNames = args.values.value(u"--keys"_s).split(u',');
        for (QString &name : keyNames)
            name = name.trimmed();
    }
    const QFileInfo mailingInfo(path);
    const QFileInfo outInfo(outPath);
    if (mailingInfo.exists() && outInfo.exists() && mailingInfo.canonicalFilePath() == outInfo.canonicalFilePath()) {
        err << "export: " << outPath << " is the mailing itself; give another file to write" << Qt::endl;
        return 2;
    }

    CommandLineFilePanel panel(outPath);
    CollectingAlertPresenter alerts;
    ManualMainLoop loop;
    OpenedMailing mailing(m_ctx, u"export"_s, false);
    DocumentSession &session = mailing.session();
    if (!mailing.report(exceptions ? session.open(path, DocumentSession::Access::Reading) : session.openToExport(path)))
        return 1;
    session.setDialogServices({panel, alerts, loop});
    DocumentExport &documentExport = session.documentExport();
    documentExport.setRunsInBackground(true);
    LXDataExportManager &exporter = exceptions ? documentExport.exportExceptToTextFile(mailingInfo.fileName())
                                               : documentExport.exportToTextFile(mailingInfo.fileName());

    // The chosen keys move to the right list one at a time, so that they are
    // written in the order given.
    QStringList offered;
    for (const Value &key : exporter.leftKeyArray().items())
        offered.append(key.toDict().stringValue(DocumentKeys::publicKey()));
    if (keyNames.isEmpty()) {
        exporter.addAllToRight();
    } else {
        for (const QString &name : std::as_const(keyNames)) {
            QStringList left;
            for (const Value &key : exporter.leftKeyArray().items())
                left.append(key.toDict().stringValue(DocumentKeys::publicKey()));
            const qsizetype at = findName(left, name);
            if (at < 0) {
                const bool repeated = findName(offered, name) >= 0;
                if (repeated)
                    err << "export: --keys names '" << name << "' twice" << Qt::endl;
                else
                    err << "export: no key '" << name << "'; the keys are " << offered.join(u", "_s) << Qt::endl;
                return 2;
            }
            exporter.setLeftSelection({at});
            exporter.addSelectedToRight();
        }
    }

    exporter.setFileFormatToSave(format);
    if (format == ExportDelimiters::FormatCustom) {
        exporter.setCustomFields(ExportDelimiters::FormatCustom);
        for (const auto &[option, setter] : customFields) {
            if (args.values.contains(option))
                (exporter.*setter)(args.values.value(option));
        }
        if (!lastRecord.isEmpty())
            exporter.setUse_end_of_record_in_last_record(lastRecord);
    }
    exporter.setUseFieldNamesAsFirstRow(args.flags.contains(u"--names-row"_s));
    // What confirming the save panel does, on a worker as in the window; the
    // alert of a failed write is printed.
    bool fileWritten = false;
    {
        ProgressLine line(err, m_ctx.progressLine);
        const QMetaObject::Connection progress = QObject::connect(
            &exporter, &LXDataExportManager::progressChanged,
            [&line](qint64 done, qint64 total) { line.show(u"Exporting"_s, done, total, u"records"_s); });
        const QMetaObject::Connection finished = QObject::connect(
            &exporter, &LXDataExportManager::writeFinished, [&fileWritten](bool ok, const QString &) { fileWritten = ok; });
        exporter.startWritingToFile(outPath);
        while (exporter.isWriting()) {
            loop.waitForPending(std::chrono::milliseconds(100));
            loop.runPending();
        }
        loop.runPending();
        QObject::disconnect(progress);
        QObject::disconnect(finished);
    }
    if (!fileWritten) {
        printAlerts(err, u"export"_s, alerts.collected());
        return 1;
    }

    QStringList written;
    for (const Value &key : exporter.rightKeyArray().items())
        written.append(key.toDict().stringValue(DocumentKeys::publicKey()));
    const qsizetype records = exporter.recordCount();
    m_ctx.out << "Exported " << records << (records == 1 ? " record" : " records") << " ("
              << (written.isEmpty() ? u"no keys"_s : written.join(u", "_s)) << ") as "
              << ExportLayouts::byCode(format)->name << " to " << outPath << Qt::endl;
    return 0;
}

} // namespace quillcast::cli
