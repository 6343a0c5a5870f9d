#pragma once

#include <QByteArray>
#include <QString>

namespace quillcast {

// The hardware address that the device password is made of.
//
// The interface named "en0" when there is one (as on the machines the stored
// form comes from); otherwise the first, by name, of the physical network
// interfaces other than loopback whose address is not all zero. Virtual and
// container interfaces (bridges, veth pairs, docker) come and go, and a
// password made from one of them would not survive the next restart.
// Interfaces are read from the kernel's /sys/class/net, or from the folder
// given (tests build such a tree).
class HardwareAddress
{
public:
    explicit HardwareAddress(QString netClassFolder = QString());

    // The interface chosen; empty when there is none.
    QString interfaceName() const;
    // Its address bytes; empty when there is none or it cannot be read.
    QByteArray address() const;
    // The address as two lower-case hexadecimal digits per byte joined by
    // ":", or "(null)" when there is no address.
    QString text() const;

    static QString format(const QByteArray &address);
    // The bytes of an address in the kernel's text form ("aa:bb:..."); empty
    // when the text is not such an address.
    static QByteArray parse(QStringView text);

private:
    QByteArray addressOf(const QString &interface) const;
    bool isCandidate(const QString &interface) const;

    QString m_folder;
};

} // namespace quillcast
