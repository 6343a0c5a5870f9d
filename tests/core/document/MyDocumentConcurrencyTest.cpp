#include "DocumentTestData.h"
#include "TestApplication.h"
#include "TestPrinters.h"
#include "document/ArrangedView.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

using namespace quillcast;
using namespace quillcast::testdata;
using namespace Qt::StringLiterals;

namespace {

QString progressLine(qint64 i, qint64 n)
{
    return u"Preparing email: %1 of %2 (%3 remaining)"_s.arg(i + 1).arg(n).arg(n - i - 1);
}

} // namespace

// The worker reads records and the mail form while the user goes on editing
// on the main thread.
TEST(MyDocumentConcurrency, WorkerReadsRecordsAndMailFormWhileTheMainThreadEdits)
{
    MyDocument doc{SystemClock::instance()};
    setUpWithUserKeys(doc);
    List records;
    for (qint64 i = 0; i < 50; ++i)
        records.append(Value(record(i + 1, true, u"r%1@example.org"_s.arg(i), u"Name%1"_s.arg(i))));
    doc.setAddressArray(records);
    doc.setSendArray(records);
    doc.setMailFormSubject(u"Hello _Name_"_s);
    std::atomic<bool> stop{false};
    std::atomic<int> badMerges{0};

    std::thread worker([&] {
        while (!stop.load()) {
            const qint64 n = doc.sendArray().size();
            for (qint64 i = 0; i < n; ++i) {
                const QString subject = doc.performTextSubstitution(doc.mailFormSubject(), qsizetype(i));
                if (!subject.startsWith(u"Hello"_s) && !subject.startsWith(u"Dear"_s))
                    badMerges.fetch_add(1);
            }
        }
    });

    for (int round = 0; round < 200; ++round) {
        doc.setMailFormSubject(round % 2 ? u"Dear _Name_"_s : u"Hello _Name_"_s);
        doc.setRecordValue(records.at(round % 50).toDict(), u"4"_s, u"Edited%1"_s.arg(round));
        doc.setRecordValue(records.at(round % 50).toDict(), u"2"_s, round % 3 == 0);
    }
    stop.store(true);
    worker.join();

    EXPECT_EQ(badMerges.load(), 0);
}

// Change signals of a worker's setters reach observers on the document's
// thread through its event loop, in order and with the values whole --
// also an observer connected without a context object.
TEST(MyDocumentConcurrency, WorkerChangeSignalsReachObserversOnTheDocumentThread)
{
    quillcast::testing::application();
    const struct { const char *name; bool withContext; } rows[] = {
        {"observer_with_context", true},
        {"observer_without_context", false},
    };
    for (const auto &row : rows) {
        MyDocument doc{SystemClock::instance()};
        QObject observer;
        QList<qint64> positions;
        QStringList actions;
        std::atomic<int> offThread{0};
        const std::thread::id mainThread = std::this_thread::get_id();
        const auto countOffThread = [&] { offThread.fetch_add(std::this_thread::get_id() != mainThread); };
        auto onPosition = [&](qint64 pos) { countOffThread(); positions.append(pos); };
        auto onAction = [&](const QString &action) { countOffThread(); actions.append(action); };
        if (row.withContext) {
            QObject::connect(&doc, &MyDocument::sendPrepTimeIntervalChanged, &observer, onPosition);
            QObject::connect(&doc, &MyDocument::mailFormSubjectChanged, &observer, onAction);
        } else {
            QObject::connect(&doc, &MyDocument::sendPrepTimeIntervalChanged, onPosition);
            QObject::connect(&doc, &MyDocument::mailFormSubjectChanged, onAction);
        }

        std::thread worker([&] {
            for (qint64 i = 1; i <= 100; ++i) {
                doc.setSendPrepTimeInterval(i);
                doc.setMailFormSubject(progressLine(i - 1, 100));
            }
        });
        worker.join();
        QCoreApplication::processEvents();

        EXPECT_EQ(offThread.load(), 0) << row.name;
        ASSERT_EQ(positions.size(), 100) << row.name;
        ASSERT_EQ(actions.size(), 100) << row.name;
        for (qint64 i = 1; i <= 100; ++i) {
            EXPECT_EQ(positions[i - 1], i) << row.name;
            EXPECT_EQ(actions[i - 1], progressLine(i - 1, 100)) << row.name;
        }
    }
}

// A long list's views are walked in two halves, the later one by a helper:
// the records come out in list order, each once, whatever sits at the split
// (no record, a record held twice), for one view or two together, and a
// cancelled walk gives nothing.
TEST(ArrangedViewHalves, ALongListsViewsAreTheRecordsInListOrder)
{
    const qsizetype count = 150001;
    List::Items items;
    for (qsizetype i = 0; i < count; ++i)
        items.emplace_back(Dict{{u"1"_s, Value(i)}, {u"2"_s, Value(i % 3 == 0)}});
    items[count / 2] = Value(u"no record"_s);
    items[count / 2 + 1] = items[count / 2 - 1];
    const List list(std::move(items));
    const auto checked = [](const Dict &d) { return d.boolValue(u"2"_s); };

    // What a walk in turn lets through, as record numbers.
    QList<qint64> expectedAll;
    QList<qint64> expectedChecked;
    list.read([&](const List::Items &all) {
        for (const Value &item : all) {
            if (const Dict *d = item.asDict()) {
                expectedAll.append(d->intValue(u"1"_s));
                if (checked(*d))
                    expectedChecked.append(d->intValue(u"1"_s));
            }
        }
    });

    ArrangedView alone;
    alone.rearrange(list, checked);
    EXPECT_EQ(numbersOf(alone), expectedChecked);
    ArrangedView every;
    ArrangedView ticked;
    ArrangedView::rearrangeTogether(list, every, {}, ticked, checked);
    EXPECT_EQ(numbersOf(every), expectedAll);
    EXPECT_EQ(numbersOf(ticked), expectedChecked);
    EXPECT_EQ(every.indexOf(list.at(count / 2 + 1).toDict()), count / 2 - 1) << "the first row of a record held twice";

    const std::atomic<bool> cancelled{true};
    EXPECT_EQ(ArrangedView::arrange(list, checked, &cancelled), std::nullopt);
}
