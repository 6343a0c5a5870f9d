#pragma once

#include "send/RunJournal.h"
#include "send/RunJournalObserver.h"

#include <gtest/gtest.h>

#include <QDateTime>

#include <memory>
#include <vector>

namespace quillcast::journaltest {

inline const QDateTime start = QDateTime::fromMSecsSinceEpoch(1765180800000, Qt::UTC);

inline QDateTime at(int seconds)
{
    return start.addSecs(seconds);
}

// A journal of a run of the given number of recipients, records 100 on,
// queued and nothing else yet.
inline std::unique_ptr<RunJournal> newJournal(const QString &path, int recipients,
                                              std::shared_ptr<RunJournalObserver> observer = nullptr)
{
    Result<std::unique_ptr<RunJournal>> journal =
        RunJournal::create(path, QStringLiteral("/home/u/Mailing.quillcast"), start);
    EXPECT_TRUE(journal.ok()) << journal.error().toStdString();
    if (observer)
        journal.value()->setObserver(std::move(observer));
    std::vector<RunJournal::Queued> queued;
    for (int i = 0; i < recipients; ++i)
        queued.push_back({i, QString::number(100 + i)});
    EXPECT_TRUE(journal.value()->queued(queued).ok());
    return std::move(journal).value();
}

} // namespace quillcast::journaltest
