#include "TestPrinters.h"
#include "send/DraftFolderMailClient.h"
#include "send/SendSummary.h"

#include <gtest/gtest.h>

#include <QDir>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

SendSummary counts(qint64 refused, qint64 handed, qint64 accepted, qint64 failed, qint64 unanswered = 0,
                   qint64 mailClient = 0, qint64 mailClientFailed = 0)
{
    SendSummary s;
    s.refused = refused;
    s.handedToServer = handed;
    s.accepted = accepted;
    s.failed = failed;
    s.unanswered = unanswered;
    s.handedToMailClient = mailClient;
    s.mailClientFailed = mailClientFailed;
    return s;
}

SendSummary preparing(SendSummary s, const QString &folder)
{
    s.preparing = true;
    s.draftsFolder = folder;
    return s;
}

// The line a user reads after a run must never make a run in which every
// message failed look like a success.
TEST(SendSummary, LineSaysWhatBecameOfTheMessages)
{
    const struct { const char *name; SendSummary summary; QString line; bool allDelivered; } rows[] = {
        {"nothing handled", counts(0, 0, 0, 0), u"Summary: 0 refused (see the log)"_s, true},
        {"all accepted", counts(0, 3, 3, 0), u"Summary: 0 refused (see the log), 3 accepted by the server, 0 failed"_s,
         true},
        {"all failed", counts(0, 3, 0, 3), u"Summary: 0 refused (see the log), 0 accepted by the server, 3 failed"_s,
         false},
        {"all refused", counts(3, 0, 0, 0), u"Summary: 3 refused (see the log)"_s, false},
        {"some unanswered", counts(1, 4, 2, 0, 2),
         u"Summary: 1 refused (see the log), 2 accepted by the server, 0 failed, 2 without an answer"_s, false},
        {"sendmail", counts(0, 0, 0, 0, 0, 2, 1), u"Summary: 0 refused (see the log), 2 accepted by sendmail, 1 failed"_s,
         false},
        {"drafts", preparing(counts(0, 0, 0, 0, 0, 2, 0), u"/tmp/m-drafts"_s),
         u"Summary: 0 refused (see the log), 2 drafts written, 0 failed; drafts in /tmp/m-drafts"_s, true},
        {"drafts, none written", preparing(counts(2, 0, 0, 0), u"/tmp/m-drafts"_s),
         u"Summary: 2 refused (see the log); drafts in /tmp/m-drafts"_s, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.summary.line(), row.line);
        EXPECT_EQ(row.summary.allDelivered(), row.allDelivered);
    }
    // Messages still waiting for the server.
    EXPECT_EQ(counts(0, 5, 2, 1).awaitingAnswer(), 2);
    EXPECT_EQ(counts(0, 5, 2, 1, 2).awaitingAnswer(), 0);
}

TEST(DraftFolderDefault, LiesBesideTheMailingOrInTheDocumentsForAnUntitledOne)
{
    EXPECT_EQ(DraftFolderMailClient::defaultFolderFor(u"/data/mailings/news.letter.quill"_s),
              u"/data/mailings/news.letter-drafts"_s);
    const QString untitled = DraftFolderMailClient::defaultFolderFor(QString());
    EXPECT_TRUE(untitled.endsWith(u"/Untitled-drafts"_s)) << untitled.toStdString();
    EXPECT_TRUE(QDir::isAbsolutePath(untitled));
}

} // namespace
