#include "connections/HardwareAddress.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

const QString preferredInterface = u"en0"_s;

bool isVirtualName(const QString &name)
{
    static const QStringList prefixes{u"docker"_s, u"veth"_s, u"br-"_s, u"virbr"_s};
    return name == u"lo"_s
        || std::any_of(prefixes.begin(), prefixes.end(), [&](const QString &p) { return name.startsWith(p); });
}

} // namespace

HardwareAddress::HardwareAddress(QString netClassFolder)
    : m_folder(netClassFolder.isEmpty() ? u"/sys/class/net"_s : std::move(netClassFolder))
{
}

QString HardwareAddress::interfaceName() const
{
    const QDir folder(m_folder);
    if (QFileInfo::exists(folder.filePath(preferredInterface)))
        return preferredInterface;
    QStringList names = folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    // Plain code-point order: the same on every machine, whatever the locale.
    std::sort(names.begin(), names.end());
    for (const QString &name : std::as_const(names)) {
        if (isCandidate(name))
            return name;
    }
    return QString();
}

QByteArray HardwareAddress::address() const
{
    const QString name = interfaceName();
    return name.isEmpty() ? QByteArray() : addressOf(name);
}

QString HardwareAddress::text() const
{
    const QByteArray bytes = address();
    return bytes.isEmpty() ? u"(null)"_s : format(bytes);
}

QString HardwareAddress::format(const QByteArray &address)
{
    QString text;
    for (qsizetype i = 0; i < address.size(); ++i) {
        if (i > 0)
            text.append(u':');
        text.append(QString::number(quint8(address.at(i)), 16).rightJustified(2, u'0'));
    }
    return text;
}

QByteArray HardwareAddress::parse(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return QByteArray();
    QByteArray bytes;
    for (QStringView part : trimmed.split(u':')) {
        bool ok = false;
        const uint value = part.toUInt(&ok, 16);
        if (!ok || part.size() > 2 || value > 0xff)
            return QByteArray();
        bytes.append(char(value));
    }
    return bytes;
}

QByteArray HardwareAddress::addressOf(const QString &interface) const
{
    QFile file(QDir(m_folder).filePath(interface + u"/address"_s));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return parse(QString::fromLatin1(file.read(256)));
}

bool HardwareAddress::isCandidate(const QString &interface) const
{
    if (isVirtualName(interface))
        return false;
    // Physical interfaces have a device behind them; virtual ones do not.
    const QFileInfo device(QDir(m_folder).filePath(interface + u"/device"_s));
    if (!device.exists() && !device.isSymLink())
        return false;
    const QByteArray bytes = addressOf(interface);
    return !bytes.isEmpty() && std::any_of(bytes.begin(), bytes.end(), [](char b) { return b != 0; });
}

} // namespace quillcast
