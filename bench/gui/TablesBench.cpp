// The database page over a large mailing, as the user meets it: opening the
// page, paging through the table, editing one cell, and searching as one
// types, with the longest time the event loop stood still meanwhile.
//
// Runs on Qt's offscreen platform; times are wall-clock (UseManualTime).
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "models/RecordTableModel.h"
#include "platform/QtMainLoop.h"
#include "platform/SystemClock.h"
#include "session/DocumentSession.h"
#include "tables/SearchCoalescer.h"
#include "tabs/DatabaseTab.h"

#include "DoubledWindowContext.h"
#include "OffscreenBenchmarks.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <map>
#include <memory>

using namespace quillcast;
using namespace quillcast::gui;
using namespace Qt::StringLiterals;

namespace {

// 100 towns: a town's name shows 1% of the records.
QStringList towns()
{
    const QStringList stems{u"Aachen"_s, u"Bamberg"_s, u"Celle"_s, u"Dresden"_s, u"Erfurt"_s,
                            u"Fulda"_s,  u"Goerlitz"_s, u"Hameln"_s, u"Ingolstadt"_s, u"Jena"_s};
    const QStringList districts{u"Nord"_s, u"Sued"_s, u"Ost"_s, u"West"_s, u"Mitte"_s,
                                u"Altstadt"_s, u"Hafen"_s, u"Heide"_s, u"Berg"_s, u"Tal"_s};
    QStringList out;
    for (const QString &s : stems)
        for (const QString &d : districts)
            out.append(s + u'-' + d);
    return out;
}

// One session per size, filled once: fixed keys plus Name ("4") and Town ("5").
struct Mailing : quillcast::gui::testing::DoubledWindowContext
{
    explicit Mailing(qsizetype records)
    {
        const QStringList places = towns();
        const Status filled = session.newDocument([&](MyDocument &doc) {
            doc.InitialSetupKeyArrayController();
            doc.keyArray().append(Value(DocumentKeys::makeDbKey(u"4"_s, u"Name"_s)));
            doc.keyArray().append(Value(DocumentKeys::makeDbKey(u"5"_s, u"Town"_s)));
            List::Items items;
            items.reserve(size_t(records));
            for (qsizetype i = 0; i < records; ++i) {
                items.emplace_back(Dict{{u"1"_s, qint64(i + 1)},
                                        {u"2"_s, i % 3 == 0},
                                        {u"3"_s, u"person%1@example.org"_s.arg(i)},
                                        {u"4"_s, u"Person %1"_s.arg(i)},
                                        {u"5"_s, places.at(i % places.size())}});
            }
            doc.setAddressArray(List(std::move(items)));
            return success();
        });
        if (!filled.ok())
            qFatal("could not fill the mailing");
        session.document().filterAddresses();
    }

    static Mailing &of(qsizetype records)
    {
        static std::map<qsizetype, std::unique_ptr<Mailing>> made;
        auto &slot = made[records];
        if (!slot) {
            made.clear(); // one large mailing in memory at a time
            made[records] = std::make_unique<Mailing>(records);
            return *made[records];
        }
        return *slot;
    }
};

void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

std::unique_ptr<DatabaseTab> shownPage(Mailing &mailing)
{
    auto page = std::make_unique<DatabaseTab>(mailing.context);
    page->resize(1100, 750);
    page->show();
    settle();
    page->repaint();
    return page;
}

void typeKey(QWidget *field, Qt::Key key, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(field, &press);
    QApplication::sendEvent(field, &release);
}

// Constructing the page until its first paint is done.
void BM_OpenDatabasePage(benchmark::State &state)
{
    Mailing &mailing = Mailing::of(state.range(0));
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        std::unique_ptr<DatabaseTab> page = shownPage(mailing);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        page.reset();
        settle();
    }
    state.counters["records"] = double(state.range(0));
}

// 50 page-downs through the table, each painted.
void BM_PageDown50(benchmark::State &state)
{
    Mailing &mailing = Mailing::of(state.range(0));
    std::unique_ptr<DatabaseTab> page = shownPage(mailing);
    auto *table = page->findChild<QTableView *>(u"recordsTable"_s);
    table->setFocus();
    table->setCurrentIndex(table->model()->index(0, 2));
    double slowest = 0;
    for (auto _ : state) {
        table->scrollToTop();
        settle();
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 50; ++i) {
            QElapsedTimer one;
            one.start();
            typeKey(table, Qt::Key_PageDown, {});
            table->viewport()->repaint();
            slowest = std::max(slowest, double(one.nsecsElapsed()) / 1e6);
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
    state.counters["slowest_page_ms"] = slowest;
}

// One cell edited through the model (the core stores it and announces the
// row): the table must not be reset for it.
void BM_EditOneCell(benchmark::State &state)
{
    Mailing &mailing = Mailing::of(state.range(0));
    std::unique_ptr<DatabaseTab> page = shownPage(mailing);
    RecordTableModel *model = page->recordsModel();
    int resets = 0;
    int changes = 0;
    QObject::connect(model, &QAbstractItemModel::modelReset, [&] { ++resets; });
    QObject::connect(model, &QAbstractItemModel::dataChanged, [&] { ++changes; });
    const QModelIndex cell = model->index(int(state.range(0) / 2), model->columnOfKey(u"4"_s));
    int n = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        model->setData(cell, u"Edited %1"_s.arg(++n));
        settle();
        page->repaint();
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
    state.counters["model_resets"] = resets;
    state.counters["data_changed_per_edit"] = double(changes) / double(std::max(n, 1));
}

// One "sel" box ticked: the row repainted and the counts line recounted (the
// database counts the checks of every record, shown or not).
void BM_TickOneBox(benchmark::State &state)
{
    Mailing &mailing = Mailing::of(state.range(0));
    std::unique_ptr<DatabaseTab> page = shownPage(mailing);
    RecordTableModel *model = page->recordsModel();
    int resets = 0;
    QObject::connect(model, &QAbstractItemModel::modelReset, [&] { ++resets; });
    const QModelIndex box = model->index(int(state.range(0) / 2) + 1, model->columnOfKey(u"2"_s));
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const bool ticked = box.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        model->setData(box, ticked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
        settle();
        page->repaint();
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
    state.counters["model_resets"] = resets;
}

// A town's name typed into the search field at about 16 keys a second; the
// time from the last keystroke until the table shows the result, and the
// longest the event loop stood still (a 10 ms timer's largest gap) from the
// first keystroke on. Arg 1: long lists walked on the worker (the page's
// way); 0: every walk in place, for comparison.
void BM_SearchAsYouType(benchmark::State &state)
{
    constexpr qint64 kKeyGapMs = 60;
    Mailing &mailing = Mailing::of(state.range(0));
    std::unique_ptr<DatabaseTab> page = shownPage(mailing);
    if (state.range(1) == 0)
        page->search().setWorkerThreshold(std::numeric_limits<qsizetype>::max());
    auto *field = page->findChild<QLineEdit *>(u"databaseSearchField"_s);
    auto *table = page->findChild<QTableView *>(u"recordsTable"_s);
    field->setFocus();
    const QString word = u"Fulda-Hafen"_s;

    double worstStall = 0;
    double worstResult = 0;
    for (auto _ : state) {
        state.PauseTiming();
        field->clear();
        mailing.session.document().setSearchFieldStr(QString());
        mailing.session.document().filterAddresses();
        settle();
        state.ResumeTiming();

        QElapsedTimer sinceTick;
        double stall = 0;
        QTimer ticker;
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            stall = std::max(stall, double(sinceTick.nsecsElapsed()) / 1e6);
            sinceTick.restart();
        });
        bool done = false;
        QEventLoop waiting;
        QMetaObject::Connection applied =
            QObject::connect(&page->search(), &SearchCoalescer::applied, [&](const QString &text) {
                if (text == word) {
                    table->viewport()->repaint();
                    done = true;
                    waiting.quit();
                }
            });
        sinceTick.start();
        ticker.start();
        QElapsedTimer sinceKey;
        for (qsizetype i = 0; i < word.size(); ++i) {
            typeKey(field, Qt::Key_unknown, QString(word.at(i)));
            sinceKey.restart();
            if (i + 1 < word.size()) {
                // The loop sleeps between keys, as the application's does.
                QEventLoop gap;
                QTimer::singleShot(kKeyGapMs, &gap, &QEventLoop::quit);
                gap.exec();
            }
        }
        if (!done)
            waiting.exec();
        const double resultMs = double(sinceKey.nsecsElapsed()) / 1e6;
        state.SetIterationTime(resultMs / 1000.0);
        QObject::disconnect(applied);
        ticker.stop();
        worstStall = std::max(worstStall, stall);
        worstResult = std::max(worstResult, resultMs);
        if (page->recordsModel()->rowCount() != int(state.range(0) / 100))
            state.SkipWithError("wrong number of rows shown");
    }
    state.counters["worst_key_to_rows_ms"] = worstResult;
    state.counters["worst_loop_stall_ms"] = worstStall;
    state.counters["shown"] = page->recordsModel()->rowCount();
}

} // namespace

BENCHMARK(BM_OpenDatabasePage)->Arg(100000)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PageDown50)->Arg(100000)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_EditOneCell)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(50);
BENCHMARK(BM_TickOneBox)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_SearchAsYouType)
    ->Args({100000, 1})
    ->Args({1000000, 1})
    ->Args({1000000, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

int main(int argc, char **argv)
{
    return quillcast::bench::runOffscreenBenchmarks(argc, argv);
}
