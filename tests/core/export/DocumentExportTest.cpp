#include "TestPrinters.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/SystemClock.h"
#include "export/DocumentExport.h"
#include "platform/FixedClock.h"
#include "ScriptedAlertPresenter.h"
#include "ScriptedFilePanel.h"

#include <gtest/gtest.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

QStringList publicNames(const List &keys)
{
    QStringList names;
    for (const Value &key : keys.items())
        names.append(key.toDict().stringValue(DocumentKeys::publicKey()));
    return names;
}

class DocumentExportTest : public ::testing::Test
{
protected:
    DocumentExportTest() : doc(clock), exports(doc, {panel, alerts})
    {
        doc.InitialSetupKeyArrayController();
        doc.keyArray().append(Value(DocumentKeys::makeDbKey(u"4"_s, u"City"_s)));
        doc.setUpOpenedDocument();
        doc.addressArray().append(Value(Dict{{u"1"_s, Value(1)}, {u"3"_s, Value(u"a@x.org"_s)}}));
        doc.exceptArray().append(Value(Dict{{u"num"_s, Value(1)}, {u"email"_s, Value(u"b@x.org"_s)}}));
    }

    const FixedClock clock{QDateTime(QDate(2024, 3, 5), QTime(9, 30), QTimeZone::utc())};
    MyDocument doc{SystemClock::instance()};
    ScriptedFilePanel panel;
    ScriptedAlertPresenter alerts;
    DocumentExport exports;
};

TEST_F(DocumentExportTest, AddressExportOffersTheKeysFromTheThirdOnOverTheWholeList)
{
    doc.setSearchFieldStr(u"nothing matches this"_s);
    doc.filterAddresses();
    LXDataExportManager &exporter = exports.exportToTextFile(u"Club.quill"_s);
    EXPECT_EQ(publicNames(exporter.leftKeyArray()), (QStringList{u"email"_s, u"City"_s}));
    EXPECT_EQ(exporter.dataArray().size(), 1) << "the search does not narrow an export";
    EXPECT_EQ(exporter.suggestedFileName(), u"Club.quill Export"_s);
    EXPECT_EQ(exporter.phase(), LXDataExportManager::Phase::Settings);
}

TEST_F(DocumentExportTest, ExceptionExportOffersEmailAndNote)
{
    LXDataExportManager &exporter = exports.exportExceptToTextFile(u"Club.quill"_s);
    EXPECT_EQ(publicNames(exporter.leftKeyArray()), (QStringList{u"Email"_s, u"Note"_s}));
    EXPECT_EQ(exporter.leftKeyArray().at(1).toDict().stringValue(DocumentKeys::innerKey()), u"note"_s);
    EXPECT_TRUE(List::sameObject(exporter.dataArray(), doc.exceptArray()));
    EXPECT_EQ(exporter.suggestedFileName(), u"Club Except Export"_s);
}

TEST(DocumentExportNames, TheExceptionExportNameDropsTheExtensionOnly)
{
    EXPECT_EQ(DocumentExport::exceptExportName(u"a.quill"_s), u"a Except Export"_s);
    EXPECT_EQ(DocumentExport::exceptExportName(u"Club"_s), u"Club Except Export"_s);
    EXPECT_EQ(DocumentExport::exceptExportName(QString()), u" Except Export"_s);
}

TEST_F(DocumentExportTest, TheMenuCommandFollowsTheSelectedTab)
{
    doc.setSelectedTab(MyDocument::SendTab);
    exports.exportToTextFileGeneral(u"Club.quill"_s);
    EXPECT_EQ(exports.exporter(), nullptr);
    doc.setSelectedTab(MyDocument::ExceptionTab);
    exports.exportToTextFileGeneral(u"Club.quill"_s);
    ASSERT_NE(exports.exporter(), nullptr);
    EXPECT_EQ(exports.exporter()->suggestedFileName(), u"Club Except Export"_s);
}

} // namespace
