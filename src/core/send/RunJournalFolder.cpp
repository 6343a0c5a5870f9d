#include "send/RunJournalFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

const QString suffix = u".run"_s;

} // namespace

QString RunJournalFolder::standardFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // The XDG rule: a relative path in the variable is invalid and ignored.
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + u"/.local/state"_s;
    return state + u"/Quillcast/runs"_s;
}

QString RunJournalFolder::mailingKey(const QString &mailingPath)
{
    const QString absolute = mailingPath.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(mailingPath).absoluteFilePath());
    return QString::fromLatin1(QCryptographicHash::hash(absolute.toUtf8(), QCryptographicHash::Sha256).toHex().left(20));
}

Result<std::unique_ptr<RunJournal>> RunJournalFolder::startRun(const QString &mailingPath, const QDateTime &start) const
{
    if (!QDir().mkpath(m_folder))
        return Result<std::unique_ptr<RunJournal>>::failure(u"The folder %1 could not be created"_s.arg(m_folder));
    const QString stem = m_folder + u'/' + mailingKey(mailingPath) + u'-' +
                         start.toUTC().toString(u"yyyyMMdd'T'HHmmsszzz'Z'"_s);
    QString path = stem + suffix;
    // Two runs started within the same millisecond each get their own file.
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = stem + u'.' + QString::number(n) + suffix;
    Result<std::unique_ptr<RunJournal>> journal = RunJournal::create(path, mailingPath, start);
    if (journal)
        prune(mailingPath);
    return journal;
}

QStringList RunJournalFolder::runsOf(const QString &mailingPath) const
{
    QStringList runs;
    const QDir dir(m_folder);
    for (const QString &name : dir.entryList({mailingKey(mailingPath) + u"-*"_s + suffix}, QDir::Files, QDir::Name))
        runs.append(dir.filePath(name));
    return runs;
}

std::optional<QString> RunJournalFolder::latestRunOf(const QString &mailingPath) const
{
    const QStringList runs = runsOf(mailingPath);
    if (runs.isEmpty())
        return std::nullopt;
    return runs.last();
}

void RunJournalFolder::prune(const QString &mailingPath) const
{
    const QStringList runs = runsOf(mailingPath);
    for (qsizetype i = 0; i + keptRunsPerMailing < runs.size(); ++i)
        QFile::remove(runs[i]);
}

} // namespace quillcast
