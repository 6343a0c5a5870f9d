#include "SendingTestData.h"
#include "TestFiles.h"

#include "send/RunWarnings.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace quillcast {
namespace {

// Each warning for its own cause, and none for a mailing that is fine; a
// large file is what makes a message too large, once Base64 has grown it.
TEST(RunWarnings, EachCauseItsOwnWarning)
{
    QTemporaryDir dir;
    const QString big = dir.filePath(u"video.mp4"_s);
    const QString nearly = dir.filePath(u"nearly.pdf"_s);
    for (const auto &[path, size] : {std::pair{big, qint64(8) * 1024 * 1024}, std::pair{nearly, qint64(7) * 1024 * 1024}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(size)); // sparse: nothing is written
    }
    const QString tooLarge = u"Each message is about 10.9 MB once encoded, more than 10 MB: many mail providers "
                             "refuse messages that large."_s;
    const QString noAlternative = u"The HTML message has no text alternative: mail programs that show only text "
                                  "will show an empty message."_s;
    const QString noSubject = u"The subject is empty."_s;
    const struct
    {
        const char *name;
        qint64 kind;
        QString subject;
        QString altText;
        QStringList files;
        QStringList warnings;
    } rows[] = {
        {"text mailing, all there", 0, u"Hi"_s, QString(), {nearly}, {}},
        {"8 MB file: over 10 MB encoded", 0, u"Hi"_s, QString(), {big}, {tooLarge}},
        {"blank subject", 0, u"  "_s, QString(), {}, {noSubject}},
        {"HTML with its alternative", 1, u"Hi"_s, u"Hello"_s, {}, {}},
        {"HTML without it, no subject", 1, QString(), u" \n"_s, {}, {noAlternative, noSubject}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MyDocument doc{SystemClock::instance()};
        sendtest::setUp(doc, {});
        doc.setEmailKind(row.kind);
        doc.setMailFormSubject(row.subject);
        doc.setMailFormBody(u"Hello"_s);
        doc.setMailFormBodyHtml(u"<p>Hello</p>"_s);
        doc.setMailFormBodyHtmlAltText(row.altText);
        List attachments;
        for (const QString &file : row.files)
            attachments.append(testing::attachmentEntry(file));
        doc.setAttachmentBookmarks(attachments);
        EXPECT_EQ(RunWarnings::beforeRun(doc), row.warnings);
    }
}

} // namespace
} // namespace quillcast
