#include "TestPrinters.h"
#include "connections/HardwareAddress.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using quillcast::HardwareAddress;

namespace {

// One interface of a /sys/class/net tree.
struct Interface
{
    QString name;
    QString address; // the contents of its address file; none when null
    bool physical;   // has a device link
};

// A /sys/class/net tree of these interfaces.
QString build(const QTemporaryDir &folder, const QList<Interface> &interfaces)
{
    const QDir root(folder.path());
    for (const Interface &i : interfaces) {
        root.mkpath(i.name);
        if (i.physical)
            root.mkpath(i.name + u"/device"_s);
        if (!i.address.isNull()) {
            QFile file(root.filePath(i.name + u"/address"_s));
            if (file.open(QIODevice::WriteOnly))
                file.write(i.address.toLatin1() + "\n");
        }
    }
    return folder.path();
}

TEST(HardwareAddress, PicksAStableInterface)
{
    const Interface loopback{u"lo"_s, u"00:00:00:00:00:00"_s, false};
    const struct { const char *name; QList<Interface> interfaces; const char *interface; const char *text; } rows[] = {
        {"en0 wins over earlier names",
         {loopback, {u"eth0"_s, u"02:00:00:00:00:01"_s, true}, {u"en0"_s, u"A4:83:E7:0B:1C:2D"_s, true}}, "en0",
         "a4:83:e7:0b:1c:2d"},
        {"first physical by name",
         {loopback, {u"wlp2s0"_s, u"3c:a9:f4:00:00:02"_s, true}, {u"enp0s31f6"_s, u"54:e1:ad:00:00:01"_s, true}},
         "enp0s31f6", "54:e1:ad:00:00:01"},
        {"container and bridge interfaces never count",
         {loopback,
          {u"br-1f2e"_s, u"02:42:00:00:00:01"_s, true},
          {u"docker0"_s, u"02:42:00:00:00:02"_s, true},
          {u"veth12ab"_s, u"02:42:00:00:00:03"_s, true},
          {u"virbr0"_s, u"52:54:00:00:00:04"_s, true},
          {u"eth1"_s, u"00:16:3e:00:00:05"_s, true}},
         "eth1", "00:16:3e:00:00:05"},
        {"virtual without device is skipped",
         {{u"bond0"_s, u"00:11:22:33:44:55"_s, false}, {u"eth0"_s, u"00:11:22:33:44:66"_s, true}}, "eth0",
         "00:11:22:33:44:66"},
        {"zero address is skipped",
         {{u"eth0"_s, u"00:00:00:00:00:00"_s, true}, {u"eth1"_s, u"00:00:00:00:00:07"_s, true}}, "eth1",
         "00:00:00:00:00:07"},
        {"unreadable address is skipped",
         {{u"eth0"_s, QString(), true}, {u"eth1"_s, u"garbage"_s, true}, {u"eth2"_s, u"0a:0b:0c:0d:0e:0f"_s, true}},
         "eth2", "0a:0b:0c:0d:0e:0f"},
        {"only loopback gives null", {loopback}, "", "(null)"},
        {"no interfaces gives null", {}, "", "(null)"},
        {"en0 without address gives null",
         {{u"en0"_s, QString(), true}, {u"eth0"_s, u"00:11:22:33:44:55"_s, true}}, "en0", "(null)"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const QTemporaryDir folder;
        const HardwareAddress address(build(folder, row.interfaces));
        EXPECT_EQ(address.interfaceName(), QString::fromUtf8(row.interface));
        EXPECT_EQ(address.text(), QString::fromUtf8(row.text));
    }
}

} // namespace
