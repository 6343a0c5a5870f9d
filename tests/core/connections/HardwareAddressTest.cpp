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

struct Machine
{
    const char *name;
    QList<Interface> interfaces;
    const char *expectedInterface;
    const char *expectedText;
};

class HardwareAddressChoice : public ::testing::TestWithParam<Machine>
{
protected:
    QString build(const QList<Interface> &interfaces)
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

    QTemporaryDir folder;
};

TEST_P(HardwareAddressChoice, PicksAStableInterface)
{
    const Machine &m = GetParam();
    const HardwareAddress address(build(m.interfaces));
    EXPECT_EQ(address.interfaceName(), QString::fromUtf8(m.expectedInterface));
    EXPECT_EQ(address.text(), QString::fromUtf8(m.expectedText));
}

const Interface loopback{u"lo"_s, u"00:00:00:00:00:00"_s, false};

INSTANTIATE_TEST_SUITE_P(
    Machines, HardwareAddressChoice,
    ::testing::Values(
        Machine{"en0_wins_over_earlier_names",
                {loopback, {u"eth0"_s, u"02:00:00:00:00:01"_s, true}, {u"en0"_s, u"A4:83:E7:0B:1C:2D"_s, true}},
                "en0", "a4:83:e7:0b:1c:2d"},
        Machine{"first_physical_by_name",
                {loopback, {u"wlp2s0"_s, u"3c:a9:f4:00:00:02"_s, true}, {u"enp0s31f6"_s, u"54:e1:ad:00:00:01"_s, true}},
                "enp0s31f6", "54:e1:ad:00:00:01"},
        Machine{"container_and_bridge_interfaces_never_count",
                {loopback,
                 {u"br-1f2e"_s, u"02:42:00:00:00:01"_s, true},
                 {u"docker0"_s, u"02:42:00:00:00:02"_s, true},
                 {u"veth12ab"_s, u"02:42:00:00:00:03"_s, true},
                 {u"virbr0"_s, u"52:54:00:00:00:04"_s, true},
                 {u"eth1"_s, u"00:16:3e:00:00:05"_s, true}},
                "eth1", "00:16:3e:00:00:05"},
        Machine{"virtual_without_device_is_skipped",
                {{u"bond0"_s, u"00:11:22:33:44:55"_s, false}, {u"eth0"_s, u"00:11:22:33:44:66"_s, true}},
                "eth0", "00:11:22:33:44:66"},
        Machine{"zero_address_is_skipped",
                {{u"eth0"_s, u"00:00:00:00:00:00"_s, true}, {u"eth1"_s, u"00:00:00:00:00:07"_s, true}},
                "eth1", "00:00:00:00:00:07"},
        Machine{"unreadable_address_is_skipped",
                {{u"eth0"_s, QString(), true},
                 {u"eth1"_s, u"garbage"_s, true},
                 {u"eth2"_s, u"0a:0b:0c:0d:0e:0f"_s, true}},
                "eth2", "0a:0b:0c:0d:0e:0f"},
        Machine{"only_loopback_gives_null", {loopback}, "", "(null)"},
        Machine{"no_interfaces_gives_null", {}, "", "(null)"},
        Machine{"en0_without_address_gives_null",
                {{u"en0"_s, QString(), true}, {u"eth0"_s, u"00:11:22:33:44:55"_s, true}}, "en0", "(null)"}),
    [](const auto &row) { return std::string(row.param.name); });

} // namespace
