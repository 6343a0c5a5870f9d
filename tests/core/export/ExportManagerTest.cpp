#include "TestPrinters.h"
#include "document/DocumentKeys.h"
#include "export/LXDataExportManager.h"
#include "ScriptedAlertPresenter.h"
#include "ScriptedFilePanel.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

Dict dbKey(const QString &inner, const QString &name)
{
    return Dict{{DocumentKeys::innerKey(), Value(inner)}, {DocumentKeys::publicKey(), Value(name)}};
}

QStringList names(const List &keys)
{
    QStringList out;
    for (const Value &key : keys.items())
        out.append(key.toDict().stringValue(DocumentKeys::publicKey()));
    return out;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ExportManager : public ::testing::Test
{
protected:
    ExportManager()
        : keys(List::Items{Value(dbKey(u"3"_s, u"email"_s)), Value(dbKey(u"4"_s, u"name"_s)),
                           Value(dbKey(u"5"_s, u"town"_s)), Value(dbKey(u"6"_s, u"note"_s))}),
          data(List::Items{Value(Dict{{u"3"_s, Value(u"a@x"_s)}, {u"4"_s, Value(u"Ann"_s)}}),
                           Value(Dict{{u"3"_s, Value(u"b@x"_s)}, {u"4"_s, Value(u"Bob"_s)}})}),
          manager(data, keys, &window, {panel, alerts}, QLocale::c())
    {
    }

    QString exportTo(const QString &name)
    {
        const QString path = dir.filePath(name);
        panel.queueSaveAnswer(path);
        manager.DoExportSetting();
        return path;
    }

    QObject window;
    List keys;
    List data;
    ScriptedFilePanel panel;
    ScriptedAlertPresenter alerts;
    LXDataExportManager manager;
    QTemporaryDir dir;
};

TEST_F(ExportManager, WithoutPickingALayoutWritesTsv)
{
    manager.addAllToRight();
    const QString path = exportTo(u"out"_s);
    EXPECT_EQ(fileBytes(path), QByteArray("a@x\tAnn\t\t\nb@x\tBob\t\t"));
}

TEST_F(ExportManager, SaveDialogProposesTheNameAndExtension)
{
    manager.setFileFormatToSave(4);
    exportTo(u"x.html"_s);
    ASSERT_EQ(panel.saveRequests().size(), 1);
    EXPECT_EQ(panel.saveRequests().first().proposedName, u"Export"_s);
    EXPECT_EQ(panel.saveRequests().first().allowedExtensions, QStringList{u"html"_s});
    EXPECT_TRUE(panel.saveRequests().first().allowsOtherFileTypes);
}

TEST_F(ExportManager, CancelledSaveWritesNothing)
{
    panel.queueSaveAnswer(std::nullopt);
    manager.DoExportSetting();
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_EQ(manager.phase(), LXDataExportManager::Phase::Idle);
}

TEST_F(ExportManager, FailedWriteIsReported)
{
    manager.addAllToRight();
    panel.queueSaveAnswer(dir.filePath(u"missing-folder/out.tsv"_s));
    manager.DoExportSetting();
    ASSERT_EQ(alerts.shown().size(), 1);
    EXPECT_EQ(alerts.shown().first().messageText, u"The export could not be saved"_s);
    EXPECT_FALSE(alerts.shown().first().informativeText.isEmpty());
}

TEST_F(ExportManager, CustomLayoutTurnsTypedEscapesIntoCharacters)
{
    manager.setFileFormatToSave(0);
    manager.setRightSelection({});
    manager.setLeftSelection({0, 1});
    manager.addSelectedToRight();
    manager.setStart_of_record(u"["_s);
    manager.setEnd_of_record(u"]\\n"_s);
    manager.setField_separator(u"\\t"_s);
    manager.setField_open_tag(u"\\\\n"_s);
    manager.setEnd_of_file(u"\\r"_s); // only \n and \t are typed escapes
    const QString path = exportTo(u"out.txt"_s);
    EXPECT_EQ(fileBytes(path), QByteArray("[\\\na@x\t\\\nAnn]\n[\\\nb@x\t\\\nBob\\r"));
}

TEST_F(ExportManager, CustomLayoutMayEndTheLastRecord)
{
    manager.setFileFormatToSave(0);
    manager.setCustomFields(0); // all empty, "YES"
    manager.setEnd_of_record(u";"_s);
    manager.setLeftSelection({1});
    manager.addSelectedToRight();
    EXPECT_EQ(fileBytes(exportTo(u"o.txt"_s)), QByteArray("Ann;Bob;"));
}

TEST_F(ExportManager, NamesRowUsesPublicNames)
{
    manager.setFileFormatToSave(5);
    manager.setUseFieldNamesAsFirstRow(true);
    manager.setLeftSelection({1, 0});
    manager.addSelectedToRight();
    EXPECT_EQ(fileBytes(exportTo(u"o.csv"_s)), QByteArray("email,name\na@x,Ann\nb@x,Bob"));
}

struct FieldsRow
{
    const char *name;
    qint32 format;
    QStringList fields; // the seven delimiter fields, then the last-record flag
};

TEST(ExportPickedLayout, FillsTheDelimiterFields)
{
    const FieldsRow rows[] = {
        {"tsv", 1, {u""_s, u""_s, u""_s, u"\\n"_s, u""_s, u""_s, u"\\t"_s, u"NO"_s}},
        {"quotedCsv", 2, {u""_s, u""_s, u""_s, u"\\n"_s, u"\""_s, u"\""_s, u","_s, u"NO"_s}},
        {"htmlTable", 3,
         {u"<table>"_s, u"</table>"_s, u"<tr>"_s, u"</tr>"_s, u"<td>"_s, u"</td>"_s, u""_s, u"YES"_s}},
        {"htmlPage", 4,
         {u"<!DOCTYPE html><html><body><table>"_s, u"</table></body></html>"_s, u"<tr>"_s, u"</tr>"_s,
          u"<td>"_s, u"</td>"_s, u""_s, u"YES"_s}},
        {"csv", 5, {u""_s, u""_s, u""_s, u"\\n"_s, u""_s, u""_s, u","_s, u"NO"_s}},
        {"custom", 0, {u""_s, u""_s, u""_s, u""_s, u""_s, u""_s, u""_s, u"YES"_s}},
        {"unknown", 42, {u""_s, u""_s, u""_s, u""_s, u""_s, u""_s, u""_s, u"YES"_s}},
    };
    for (const FieldsRow &row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedFilePanel panel;
        ScriptedAlertPresenter alerts;
        LXDataExportManager manager(List(), List(), nullptr, {panel, alerts});
        manager.setStart_of_file(u"left over"_s);
        manager.setCustomFields(row.format);
        const QStringList shown{manager.start_of_file(),   manager.end_of_file(),    manager.start_of_record(),
                                manager.end_of_record(),   manager.field_open_tag(), manager.field_close_tag(),
                                manager.field_separator(), manager.use_end_of_record_in_last_record()};
        EXPECT_EQ(shown, row.fields);
    }
}

// Selected keys move right in list order; keys moved back go to the end of
// the left.
TEST_F(ExportManager, KeysMoveBetweenTheLists)
{
    manager.setLeftSelection({2, 0});
    manager.addSelectedToRight();
    EXPECT_EQ(names(manager.rightKeyArray()), (QStringList{u"email"_s, u"town"_s}));
    EXPECT_EQ(names(manager.leftKeyArray()), (QStringList{u"name"_s, u"note"_s}));
    manager.setRightSelection({0});
    manager.removeSelectedFromRight();
    EXPECT_EQ(names(manager.leftKeyArray()), (QStringList{u"name"_s, u"note"_s, u"email"_s}));
    manager.removeAllFromRight();
    EXPECT_EQ(names(manager.leftKeyArray()), (QStringList{u"name"_s, u"note"_s, u"email"_s, u"town"_s}));
    EXPECT_TRUE(manager.rightKeyArray().isEmpty());
}

TEST_F(ExportManager, MovingReordersTheRightList)
{
    const struct { const char *name; bool up; QList<qsizetype> selection; QStringList expected; } rows[] = {
        {"up one", true, {2}, {u"email"_s, u"town"_s, u"name"_s, u"note"_s}},
        {"up at the top", true, {0}, {u"email"_s, u"name"_s, u"town"_s, u"note"_s}},
        {"up, last of several", true, {1, 3}, {u"note"_s, u"email"_s, u"name"_s, u"town"_s}},
        {"down one", false, {1}, {u"email"_s, u"town"_s, u"name"_s, u"note"_s}},
        {"down at the bottom", false, {3}, {u"email"_s, u"name"_s, u"town"_s, u"note"_s}},
        {"no selection", false, {}, {u"email"_s, u"name"_s, u"town"_s, u"note"_s}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        LXDataExportManager fresh(data, keys, &window, {panel, alerts});
        fresh.addAllToRight();
        fresh.setRightSelection(row.selection);
        if (row.up)
            fresh.moveUp();
        else
            fresh.moveDown();
        EXPECT_EQ(names(fresh.rightKeyArray()), row.expected);
    }
}

TEST_F(ExportManager, FileTypeFollowsTheLayout)
{
    manager.setFileFormatToSave(2);
    manager.adjustFileType();
    manager.selectFileType(u"text"_s);
    EXPECT_EQ(panel.extensionChanges(), (QList<QStringList>{{u"csv"_s}, {u"text"_s}}));
}

} // namespace
