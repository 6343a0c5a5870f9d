// A send run of 20 records at a pause of 1 s through the SMTP transport, to
// the local test server answering each message only after 3 s. The run must
// not wait for the answers: it ends about 19 s after its start, and the last
// answer arrives about 3 s later. Reported as counters, in seconds. The run
// keeps its journal (flushed at every message) as the program's runs do.

#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/QtMainLoop.h"
#include "platform/SystemClock.h"
#include "platform/SystemSleeper.h"
#include "send/CurlSmtpClient.h"
#include "send/LXMailCoreBridge.h"
#include "send/SendRun.h"
#include "send/ServerSettings.h"
#include "send/StaticConnectionProvider.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

void BM_SendRunAgainstSlowServer(benchmark::State &state)
{
    static int argc = 1;
    static char name[] = "send_run_bench";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    QTemporaryDir workdir;
    QProcess server;
    server.start(QString::fromUtf8(QUILLCAST_PYTHON3),
                 {QString::fromUtf8(QUILLCAST_SMTP_SERVER_SCRIPT), u"--workdir"_s, workdir.path(), u"--user"_s,
                  u"u"_s, u"--password"_s, u"p"_s, u"--delay"_s, u"3"_s});
    while (server.state() != QProcess::NotRunning && !server.canReadLine())
        server.waitForReadyRead(30000);
    const QJsonObject info = QJsonDocument::fromJson(server.readLine()).object();
    if (info.isEmpty()) {
        state.SkipWithError("the SMTP test server did not start");
        return;
    }
    const qint64 port = info.value(u"slow"_s).toInteger();

    for (auto _ : state) {
        MyDocument doc{SystemClock::instance()};
        doc.InitialSetupKeyArrayController();
        List::Items records;
        for (int i = 0; i < 20; ++i)
            records.emplace_back(Dict{{DocumentKeys::numberInnerKey(), Value(qint64(i + 1))},
                                      {DocumentKeys::checkedInnerKey(), Value(true)},
                                      {DocumentKeys::emailInnerKey(), Value(u"r%1@example.org"_s.arg(i))}});
        doc.setAddressArray(List(records));
        doc.setSendArray(List(records));
        doc.setUpOpenedDocument();
        doc.filterSend();
        doc.setMailFormFrom(u"office@example.org"_s);
        doc.setMailFormSubject(u"Hello"_s);
        doc.setMailFormBody(u"Dear _email_"_s);
        doc.setSendPrepTimeInterval(1);
        doc.setUseMailServerToSend(1);

        CurlSmtpClient client;
        QtMainLoop loop(&doc);
        const LXMailCoreBridge bridge({client, loop, SystemClock::instance()});
        StaticConnectionProvider connections(List({Value(Dict{{u"mailServerName"_s, Value(u"127.0.0.1"_s)},
                                                               {u"useCustomPort"_s, Value(qint64(1))},
                                                               {u"customPortUsed"_s, Value(port)}})}));
        SendingServices services;
        services.mailCore = &bridge;
        services.connections = &connections;
        services.server = ServerSettings(doc, &connections).adjustSendingValueFromPref();
        // The run keeps its journal as in the program, on the disk the
        // benchmark runs from (the temporary folder may be in memory).
        QTemporaryDir journals(QDir::currentPath() + u"/send-run-journals-XXXXXX"_s);
        services.journalFolder = journals.path();
        SendRun run(doc, services, SystemSleeper::instance(), SystemClock::instance());

        int answered = 0;
        int accepted = 0;
        QObject::connect(&doc, &MyDocument::deliveryFinished, &doc, [&](bool ok) {
            ++answered;
            accepted += ok ? 1 : 0;
        });

        QElapsedTimer timer;
        timer.start();
        run.doPrepareAllRecordsSending(true);
        const double runSeconds = timer.elapsed() / 1000.0;
        while (answered < 20 && timer.elapsed() < 60000) {
            QCoreApplication::sendPostedEvents();
            QThread::msleep(5);
        }
        state.counters["run_s"] = runSeconds;
        state.counters["last_answer_s"] = timer.elapsed() / 1000.0;
        state.counters["accepted"] = accepted;
        QCoreApplication::sendPostedEvents();
        if (accepted < 20) {
            const QStringList lines = doc.logViewText().split(u'\n', Qt::SkipEmptyParts);
            state.SkipWithError(qPrintable(u"messages not accepted: "_s + lines.value(lines.size() - 1)));
        }
    }
    server.closeWriteChannel();
    server.terminate();
    server.waitForFinished(10000);
}

} // namespace

BENCHMARK(BM_SendRunAgainstSlowServer)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
