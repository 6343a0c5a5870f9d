#include "platform/SettingsFileStore.h"

#include "platform/DurableSaveFile.h"
#include "platform/RegularFileReader.h"
#include "util/ValueVariant.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryFile>
#include <QVariant>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

constexpr QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
constexpr mode_t ownerMode = 0600;
// Far more than any settings file holds; a bigger one is not ours.
constexpr qint64 maxFileSize = qint64(64) * 1024 * 1024;

// Creates the file empty and private before anything is written into it, so
// that it is never readable by others, not even for a moment. (QSettings
// replaces the file through a temporary one that takes over its mode.)
bool createPrivately(const QString &fileName)
{
    if (QFileInfo::exists(fileName))
        return true;
    if (!QDir().mkpath(QFileInfo(fileName).absolutePath()))
        return false;
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno == EEXIST;
    ::close(fd);
    return true;
}

// One text for a stored value, the same whether the value is the one given
// to QSettings or the one it reads back from the file.
QString canonicalText(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        QStringList items;
        for (const QVariant &item : value.toList())
            items.append(canonicalText(item));
        return u"["_s + items.join(QChar(0x1f)) + u"]"_s;
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        const QVariantMap map = value.toMap();
        QStringList entries;
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            entries.append(it.key() + QChar(0x1e) + canonicalText(it.value()));
        return u"{"_s + entries.join(QChar(0x1f)) + u"}"_s;
    }
    case QMetaType::QByteArray:
        return u"b:"_s + QString::fromLatin1(value.toByteArray().toHex());
    case QMetaType::QDateTime:
        return u"d:"_s + value.toDateTime().toString(Qt::ISODateWithMs);
    default:
        return u"s:"_s + value.toString();
    }
}

} // namespace

SettingsFileStore::SettingsFileStore(QString fileName)
    : m_fileName(fileName.isEmpty() ? userFileName() : std::move(fileName))
{
}

QString SettingsFileStore::userFileName()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, u"Quillcast"_s, u"Quillcast"_s).fileName();
}

bool SettingsFileStore::contains(const QString &key) const
{
    return QSettings(m_fileName, QSettings::IniFormat).contains(key);
}

Value SettingsFileStore::value(const QString &key) const
{
    return ValueVariant::fromVariant(QSettings(m_fileName, QSettings::IniFormat).value(key));
}

QStringList SettingsFileStore::childKeys(const QString &group) const
{
    QSettings settings(m_fileName, QSettings::IniFormat);
    settings.beginGroup(group);
    return settings.childKeys();
}

Status SettingsFileStore::write(const std::vector<Change> &changes)
{
    if (!createPrivately(m_fileName))
        return Status::failure(u"cannot create the settings file %1"_s.arg(m_fileName));
    const auto failed = [&](const QString &why) {
        return Status::failure(u"cannot write the settings file %1: %2; it was left as it was"_s.arg(m_fileName, why));
    };
    const Result<QByteArray> current = RegularFileReader::read(m_fileName, maxFileSize);
    if (!current)
        return failed(current.error());

    // QSettings does its writing through a buffer whose failure it does not
    // report, so it edits a private scratch copy, which is read back and
    // checked; only then does the copy replace the file, whole and durably.
    const QFileInfo info(m_fileName);
    QTemporaryFile scratch(info.absolutePath() + u"/.settings-XXXXXX.ini"_s);
    if (!scratch.open() || scratch.write(current.value()) != current.value().size() || !scratch.flush())
        return failed(scratch.errorString());
    scratch.close();
    // Compared in text form: the file gives back numbers and booleans as
    // texts and lists as string lists, which QVariant does not equal to what
    // it was given.
    QMap<QString, QString> expected;
    {
        QSettings settings(scratch.fileName(), QSettings::IniFormat);
        for (const Change &change : changes) {
            if (change.second.isNull())
                settings.remove(change.first);
            else
                settings.setValue(change.first, ValueVariant::toVariant(change.second));
        }
        settings.sync();
        if (settings.status() != QSettings::NoError)
            return failed(u"the new settings could not be written"_s);
        for (const QString &key : settings.allKeys())
            expected.insert(key, canonicalText(settings.value(key)));
    }
    const Result<QByteArray> bytes = RegularFileReader::read(scratch.fileName(), maxFileSize);
    if (!bytes)
        return failed(bytes.error());
    // Read back under a name of its own: QSettings keeps what it wrote in a
    // cache under the scratch copy's name and would not look at the disk.
    QMap<QString, QString> written;
    {
        QTemporaryFile readBack(info.absolutePath() + u"/.settings-XXXXXX.ini"_s);
        if (!readBack.open() || readBack.write(bytes.value()) != bytes.value().size() || !readBack.flush())
            return failed(readBack.errorString());
        readBack.close();
        const QSettings check(readBack.fileName(), QSettings::IniFormat);
        for (const QString &key : check.allKeys())
            written.insert(key, canonicalText(check.value(key)));
    }
    if (written != expected)
        return failed(u"the new settings were not written whole"_s);
    if (const Status replaced = DurableSaveFile::writeWhole(m_fileName, bytes.value(), ownerMode); !replaced)
        return Status::failure(replaced.error());
    if (!QFile::setPermissions(m_fileName, ownerOnly))
        return Status::failure(u"cannot make the settings file %1 private"_s.arg(m_fileName));
    return success();
}

} // namespace quillcast
