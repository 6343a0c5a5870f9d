// Building one message of a mailing: a text and an HTML body of about 10 KB
// each, with non-ASCII text, and two attachments of 100 KB of random bytes
// read from disk. Target: under 2 ms per message.
#include "send/MessageBuilder.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimeZone>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

struct Fixture
{
    QTemporaryDir dir;
    MessageContent content;

    Fixture()
    {
        QRandomGenerator random(20240305);
        for (const QString &name : {u"Broschüre.pdf"_s, u"photo.jpg"_s}) {
            QByteArray bytes(100 * 1024, Qt::Uninitialized);
            random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
            QFile file(dir.filePath(name));
            if (file.open(QIODevice::WriteOnly))
                file.write(bytes);
            content.attachmentPaths.append(file.fileName());
        }
        content.from = {u"Verein Zürich"_s, u"info@verein.example"_s};
        content.to = {{QString(), u"jane.doe@example.com"_s}};
        content.subject = u"Einladung zur Jahresversammlung – Grüße aus Zürich"_s;
        QString text;
        QString html = u"<html><body>\n"_s;
        while (text.size() < 10 * 1024) {
            text += u"Liebe Mitglieder, wir freuen uns auf Ihren Besuch an der Versammlung im März.\n"_s;
            html += u"<p>Liebe Mitglieder, wir freuen uns auf <b>Ihren Besuch</b> im März.</p>\n"_s;
        }
        content.textBody = text;
        content.htmlBody = html + u"</body></html>\n"_s;
        content.date = QDateTime(QDate(2024, 3, 5), QTime(9, 30), QTimeZone::utc());
    }
};

void BM_BuildMessageWithAttachments(benchmark::State &state)
{
    Fixture fixture;
    std::size_t bytes = 0;
    for (auto _ : state) {
        const Result<QByteArray> message = MessageBuilder::build(fixture.content);
        if (!message) {
            state.SkipWithError(message.error().toStdString().c_str());
            break;
        }
        bytes = std::size_t(message.value().size());
        benchmark::DoNotOptimize(message.value().constData());
    }
    state.counters["message_bytes"] = double(bytes);
}
BENCHMARK(BM_BuildMessageWithAttachments)->Unit(benchmark::kMillisecond);

} // namespace
