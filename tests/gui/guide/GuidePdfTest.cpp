// The user guide printed at build time, read back with poppler's tools as a
// PDF viewer reads it; and the printing tool given broken chapters.
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;
using quillcast::testing::writeFile;

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// What pdfinfo says of a file: its page count, or -1 when it is no PDF.
int pageCount(const QString &pdf, QString *pageSize = nullptr)
{
    const Run info = run(QStringLiteral(QUILLCAST_PDFINFO), {pdf});
    if (info.exitCode != 0)
        return -1;
    if (pageSize)
        *pageSize = QRegularExpression(u"Page size: *([^\n]*)"_s).match(info.out).captured(1);
    return QRegularExpression(u"Pages: *(\\d+)"_s).match(info.out).captured(1).toInt();
}

QString text(const QString &pdf)
{
    return run(QStringLiteral(QUILLCAST_PDFTOTEXT), {u"-layout"_s, pdf, u"-"_s}).out;
}

} // namespace

class GuidePdfTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void theBuiltGuideIsAnA4PdfOfEveryChapter()
    {
        const QString guide = QStringLiteral(QUILLCAST_BUILT_USER_GUIDE);
        QString pageSize;
        const int pages = pageCount(guide, &pageSize);
        // A title page and ten chapters of a few pages each; far more means
        // pictures or tables ran off their pages.
        QVERIFY2(pages >= 15 && pages <= 60, qPrintable(u"%1 pages"_s.arg(pages)));
        QVERIFY2(pageSize.contains(u"(A4)"_s), qPrintable(pageSize));

        const QString words = text(guide);
        const QStringList expected{u"Quillcast User Guide"_s, u"Release 2.10.1"_s, u"Getting started"_s,
                                   u"The database"_s,         u"Importing recipients"_s,
                                   u"The mail form and merge tags"_s, u"Preview"_s,
                                   u"Sending and the log"_s,  u"Exceptions"_s,
                                   u"Exporting"_s,            u"Preferences and connections"_s,
                                   u"The command line"_s};
        for (const QString &title : expected)
            QVERIFY2(words.contains(title), qPrintable(title));
        // Every chapter on a page of its own, each page numbered at its foot.
        const QStringList pageTexts = words.split(u'\f');
        QVERIFY(pageTexts.size() >= pages);
        for (int page = 1; page < pages; ++page) {
            const QString last = pageTexts.at(page).trimmed().split(u'\n').last().trimmed();
            QCOMPARE(last, QString::number(page + 1));
        }

        // The contents, after the title page, list the chapters in order, each
        // with the page that starts with its title.
        QStringList listed;
        const QRegularExpression entry(u"^\\s*(\\d+)\\s+(.+?)\\s+(\\d+)$"_s);
        const QStringList contentsLines = pageTexts.at(1).split(u'\n');
        QCOMPARE(contentsLines.value(0).trimmed(), u"Contents"_s);
        for (const QString &line : contentsLines) {
            const QRegularExpressionMatch match = entry.match(line);
            if (!match.hasMatch() || match.captured(1).toInt() != listed.size() + 1)
                continue;
            listed.append(match.captured(2));
            const int page = match.captured(3).toInt();
            QVERIFY2(page > 2 && page <= pages, qPrintable(line));
            QCOMPARE(pageTexts.at(page - 1).trimmed().split(u'\n').first().trimmed(), match.captured(2));
        }
        QCOMPARE(listed, expected.mid(2));

        // The screenshots that exist are in it, and each is drawn whole.
        const Run images = run(QStringLiteral(QUILLCAST_PDFIMAGES), {u"-list"_s, guide});
        QCOMPARE(images.exitCode, 0);
        const qsizetype pictures = images.out.count(u" image "_s);
        const qsizetype shots = QDir(QStringLiteral(QUILLCAST_SCREENSHOTS_DIR)).entryList({u"*.png"_s}).size();
        QVERIFY2(pictures >= 6, qPrintable(images.out));
        QVERIFY2(pictures <= shots * 3, qPrintable(images.out));
    }

    void brokenChaptersAndPictures_data()
    {
        QTest::addColumn<bool>("chapterExists");
        QTest::addColumn<QByteArray>("pictureBytes");
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");

        const QString pdf = u"guide.pdf"_s;
        QTest::newRow("a picture in place") << true << QByteArray("png") << pdf << 0 << QString();
        QTest::newRow("a picture not yet taken: left out")
            << true << QByteArray() << pdf << 0 << u"shot.png is missing"_s;
        QTest::newRow("a picture that is no image: left out")
            << true << QByteArray("not a picture") << pdf << 0 << u"shot.png is missing"_s;
        QTest::newRow("a chapter that is not there") << false << QByteArray() << pdf << 1 << u"Cannot read"_s;
        QTest::newRow("an output folder that is not there")
            << true << QByteArray("png") << u"no such folder/guide.pdf"_s << 1 << u"Cannot write"_s;
    }
    void brokenChaptersAndPictures()
    {
        QFETCH(bool, chapterExists);
        QFETCH(QByteArray, pictureBytes);
        QFETCH(QString, output);
        QFETCH(int, exitCode);
        QFETCH(QString, message);

        QTemporaryDir dir;
        const QString chapterPath = dir.filePath(u"01-one.md"_s);
        if (chapterExists)
            QVERIFY(writeFile(chapterPath,
                              "# Chapter one\n\nBefore the picture.\n\n![A window](shot.png)\n\nAfter it.\n"));
        if (pictureBytes == "png") {
            QImage picture(400, 300, QImage::Format_RGB32);
            picture.fill(Qt::darkCyan);
            QVERIFY(picture.save(dir.filePath(u"shot.png"_s)));
        } else if (!pictureBytes.isEmpty()) {
            QVERIFY(writeFile(dir.filePath(u"shot.png"_s), pictureBytes));
        }
        const QString pdf = dir.filePath(output);

        const Run printed = run(QStringLiteral(QUILLCAST_GUIDE_PDF_TOOL),
                                {u"--output"_s, pdf, u"--title"_s, u"A Guide"_s, u"--subtitle"_s, u"Release 9"_s,
                                 chapterPath});
        QCOMPARE(printed.exitCode, exitCode);
        if (message.isEmpty())
            QVERIFY2(!printed.err.contains(u"quillcast-guide-pdf"_s), qPrintable(printed.err));
        else
            QVERIFY2(printed.err.contains(message), qPrintable(printed.err));
        if (exitCode != 0) {
            // Nothing half made is left behind.
            QVERIFY(!QFile::exists(pdf));
            return;
        }
        // The title page, the contents and the chapter.
        QCOMPARE(pageCount(pdf), 3);
        const QString words = text(pdf);
        QVERIFY(words.contains(u"A Guide"_s));
        QVERIFY(words.contains(u"Before the picture."_s));
        QVERIFY(words.contains(u"After it."_s));
        const Run images = run(QStringLiteral(QUILLCAST_PDFIMAGES), {u"-list"_s, pdf});
        QCOMPARE(images.out.count(u" image "_s), pictureBytes == "png" ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(GuidePdfTest)
#include "GuidePdfTest.moc"
