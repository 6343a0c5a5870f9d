#include "connections/ConnectionStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QVariant>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

constexpr QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;

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

} // namespace

ConnectionStore::ConnectionStore(QString fileName)
    : m_fileName(fileName.isEmpty() ? userFileName() : std::move(fileName))
{
}

QString ConnectionStore::userFileName()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, u"Quillcast"_s, u"Quillcast"_s).fileName();
}

bool ConnectionStore::contains(const QString &key) const
{
    return QSettings(m_fileName, QSettings::IniFormat).contains(key);
}

Value ConnectionStore::value(const QString &key) const
{
    return fromVariant(QSettings(m_fileName, QSettings::IniFormat).value(key));
}

Status ConnectionStore::write(const std::vector<Change> &changes)
{
    if (!createPrivately(m_fileName))
        return Status::failure(u"cannot create the settings file %1"_s.arg(m_fileName));
    QFile::setPermissions(m_fileName, ownerOnly);
    {
        QSettings settings(m_fileName, QSettings::IniFormat);
        for (const Change &change : changes) {
            if (change.second.isNull())
                settings.remove(change.first);
            else
                settings.setValue(change.first, toVariant(change.second));
        }
        settings.sync();
        if (settings.status() != QSettings::NoError)
            return Status::failure(u"cannot write the settings file %1"_s.arg(m_fileName));
    }
    if (!QFile::setPermissions(m_fileName, ownerOnly))
        return Status::failure(u"cannot make the settings file %1 private"_s.arg(m_fileName));
    return success();
}

QVariant ConnectionStore::toVariant(const Value &value)
{
    switch (value.type()) {
    case Value::Type::Null:
        return QVariant();
    case Value::Type::Bool:
        return value.toBool();
    case Value::Type::Int:
        return QVariant::fromValue(value.toInt64());
    case Value::Type::UInt:
        return QVariant::fromValue(value.toUInt64());
    case Value::Type::Real:
        return value.toDouble();
    case Value::Type::String:
        return value.toString();
    case Value::Type::Date:
        return value.toDateTime();
    case Value::Type::Bytes:
        return value.toBytes();
    case Value::Type::List: {
        QVariantList list;
        for (const Value &item : value.toList().items())
            list.append(toVariant(item));
        return list;
    }
    case Value::Type::Dict: {
        QVariantMap map;
        for (const auto &entry : value.toDict().snapshot().entries())
            map.insert(entry.first, toVariant(entry.second));
        return map;
    }
    }
    return QVariant();
}

Value ConnectionStore::fromVariant(const QVariant &variant)
{
    switch (variant.typeId()) {
    case QMetaType::UnknownType:
        return Value();
    case QMetaType::Bool:
        return Value(variant.toBool());
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
        return Value(variant.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
        return Value(variant.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return Value(variant.toDouble());
    case QMetaType::QDateTime:
        return Value(variant.toDateTime());
    case QMetaType::QByteArray:
        return Value(variant.toByteArray());
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        List list;
        for (const QVariant &item : variant.toList())
            list.append(fromVariant(item));
        return Value(list);
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        Dict dict;
        const QVariantMap map = variant.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            dict.set(it.key(), fromVariant(it.value()));
        return Value(dict);
    }
    default:
        return Value(variant.toString());
    }
}

} // namespace quillcast
