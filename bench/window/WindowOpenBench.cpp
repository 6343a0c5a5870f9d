// Opening a large mailing in its window: what the window adds to the core's
// open. Each size is timed twice: the core's open alone, and the open with
// the window built, shown and painted once. The second reports its two parts
// as counters ("core ms", "window ms", and of the latter "built ms" for the
// constructor alone): the window's share is what the
// desktop application adds to the wait.
//
// The mailings are made here, 100,000 and 1,000,000 records of five columns
// (email, first, last, city, code) on the database and the send list.
// QUILLCAST_BENCH_MAILINGS may name a folder of ready-made ones instead
// (m100000.quill, m1000000.quill), to time the same files as elsewhere.
#include "FakeApplicationActions.h"
#include "MailingWindow.h"
#include "RecordingFileRevealer.h"
#include "RecordingUrlOpener.h"
#include "ScriptedAlertPresenter.h"
#include "ScriptedFilePanel.h"
#include "WindowServices.h"
#include "document/DocumentFile.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/NullUrlOpener.h"
#include "platform/SystemClock.h"
#include "session/DocumentSession.h"

#include "OffscreenBenchmarks.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <memory>

using namespace quillcast;
using namespace quillcast::gui;
using namespace quillcast::gui::testing;
using namespace Qt::StringLiterals;

namespace {

// Deterministic people: the same file on every run.
Result<QByteArray> makeMailing(qsizetype count)
{
    static const QStringList firsts{u"Ann"_s,   u"Bob"_s,  u"Chloé"_s, u"Dmitri"_s, u"Eve"_s,
                                    u"Farid"_s, u"Grete"_s, u"Hiro"_s,  u"Ines"_s,   u"Jonas"_s};
    static const QStringList lasts{u"Rossi"_s, u"Smith"_s, u"Müller"_s, u"Kowalski"_s, u"Dubois"_s,
                                   u"Tanaka"_s, u"Silva"_s, u"Nowak"_s,  u"García"_s,   u"Olsen"_s};
    static const QStringList cities{u"Kraków"_s, u"Paris"_s, u"Berlin"_s, u"Lisboa"_s, u"Osaka"_s,
                                    u"Oslo"_s,   u"Lyon"_s,  u"Porto"_s,  u"Madrid"_s, u"Turku"_s};
    MyDocument doc{SystemClock::instance()};
    doc.setUpOpenedDocument();
    for (const QString &name : {u"first"_s, u"last"_s, u"city"_s, u"code"_s})
        doc.keyArray().append(DocumentKeys::makeDbKey(doc.getUniqueNewInnerColName(), name));
    List::Items records;
    records.reserve(count);
    quint32 seed = 12345;
    for (qsizetype i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const QString &first = firsts[(seed >> 8) % firsts.size()];
        const QString &last = lasts[(seed >> 16) % lasts.size()];
        Dict::Entries e;
        e.emplace_back(u"1"_s, qint64(i + 1));
        e.emplace_back(u"2"_s, false);
        e.emplace_back(u"3"_s, u"%1.%2%3@example.org"_s.arg(first.toLower(), last.toLower()).arg(i));
        e.emplace_back(u"4"_s, first);
        e.emplace_back(u"5"_s, last);
        e.emplace_back(u"6"_s, cities[(seed >> 24) % cities.size()]);
        e.emplace_back(u"7"_s, QString::number(10000 + seed % 90000));
        records.emplace_back(Dict(std::move(e)));
    }
    doc.addressArray().setItems(records);
    doc.sendArray().setItems(records);
    return DocumentFile::dataOfType(doc);
}

// The mailing of count records, made once per run.
QString mailingPath(qsizetype count)
{
    const QString name = u"m%1.quill"_s.arg(count);
    if (const QString ready = qEnvironmentVariable("QUILLCAST_BENCH_MAILINGS"); !ready.isEmpty()) {
        const QString path = QDir(ready).filePath(name);
        if (QFile::exists(path))
            return path;
    }
    static QTemporaryDir dir;
    static QHash<qsizetype, QString> made;
    if (made.contains(count))
        return made.value(count);
    const Result<QByteArray> bytes = makeMailing(count);
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!bytes || !file.open(QIODevice::WriteOnly) || file.write(bytes.value()) != bytes->size())
        return {};
    file.close();
    made.insert(count, path);
    return path;
}

// Notes the first paint of a window: the whole window paints in that same pass.
class FirstPaint final : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

// What the application gives a window, as doubles: nothing here asks them.
struct Services
{
    ScriptedAlertPresenter appAlerts;
    RecordingUrlOpener urlOpener;
    RecordingFileRevealer revealer;
    FakeApplicationActions application;
    WindowServices window{application, urlOpener, revealer, nullptr, nullptr,
                          [](QWidget *) { return std::unique_ptr<AlertPresenter>(std::make_unique<ScriptedAlertPresenter>()); },
                          [](QWidget *) { return std::unique_ptr<FilePanel>(std::make_unique<ScriptedFilePanel>()); }};

    std::unique_ptr<DocumentSession> open(const QString &path, benchmark::State &state)
    {
        auto session = std::make_unique<DocumentSession>(
            DocumentSession::Services{SystemClock::instance(), appAlerts, NullUrlOpener::instance(), nullptr});
        if (!session->open(path, DocumentSession::Access::Reading)) {
            state.SkipWithError("the mailing did not open");
            return nullptr;
        }
        return session;
    }
};

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

void BM_OpenCore(benchmark::State &state)
{
    const QString path = mailingPath(state.range(0));
    if (path.isEmpty()) {
        state.SkipWithError("the mailing could not be made");
        return;
    }
    Services services;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        std::unique_ptr<DocumentSession> session = services.open(path, state);
        state.SetIterationTime(msSince(timer) / 1e3);
        if (!session)
            break;
    }
}

void BM_OpenInWindow(benchmark::State &state)
{
    const QString path = mailingPath(state.range(0));
    if (path.isEmpty()) {
        state.SkipWithError("the mailing could not be made");
        return;
    }
    Services services;
    double coreMs = 0;
    double windowMs = 0;
    double buildMs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        std::unique_ptr<DocumentSession> session = services.open(path, state);
        if (!session)
            break;
        const double opened = msSince(timer);
        auto window = std::make_unique<MailingWindow>(std::move(session), services.window);
        const double built = msSince(timer);
        FirstPaint paint;
        window->installEventFilter(&paint);
        window->resize(1100, 750);
        window->show();
        while (!paint.painted)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const double shown = msSince(timer);
        state.SetIterationTime(shown / 1e3);
        coreMs += opened;
        windowMs += shown - opened;
        buildMs += built - opened;
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    const double n = double(state.iterations());
    state.counters["core ms"] = n > 0 ? coreMs / n : 0;
    state.counters["window ms"] = n > 0 ? windowMs / n : 0;
    // Of the window's share, what its constructor takes (the rest: show and paint).
    state.counters["built ms"] = n > 0 ? buildMs / n : 0;
}

// A few rounds each: one round of a large open is seconds, and the machine's
// other work shows in a single one.
BENCHMARK(BM_OpenCore)->Arg(100000)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenInWindow)->Arg(100000)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenCore)->Arg(1000000)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenInWindow)->Arg(1000000)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return quillcast::bench::runOffscreenBenchmarks(argc, argv);
}
