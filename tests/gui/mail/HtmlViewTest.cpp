#include "MailPageFixture.h"

#include "mail/HtmlPage.h"
#include "mail/HtmlView.h"
#include "document/DocumentKeys.h"
#include "tabs/MailTab.h"
#include "send/Preview.h"
#include "tabs/PreviewTab.h"

#include "TestRecords.h"

#include "LocalHttpServer.h"
#include "RecordingUrlOpener.h"

#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTimer>
#include <QWebEngineView>
#include <QtTest>

using namespace quillcast;
using namespace quillcast::gui;
using namespace Qt::StringLiterals;

namespace {

// Loads html into the view and waits for the page to finish.
bool load(QWebEngineView &view, const QString &html)
{
    QSignalSpy finished(&view, &QWebEngineView::loadFinished);
    if (auto *mailView = qobject_cast<HtmlView *>(&view))
        mailView->loadHtml(html);
    else
        view.setHtml(html);
    return finished.wait(20000) && finished.first().first().toBool();
}

// The text the page shows now.
QString shownText(QWebEnginePage *page)
{
    QString text;
    QEventLoop loop;
    page->toPlainText([&](const QString &shown) {
        text = shown;
        loop.quit();
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    return text;
}

} // namespace

class HtmlViewTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What a tracking mail asks the network for; none of it may be fetched.
    void nothingRemoteIsEverFetched_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<bool>("reported");
        QTest::newRow("image") << u"<p>Hello</p><img src='%1' width=1 height=1>"_s << true;
        QTest::newRow("css background") << u"<table><tr><td style=\"background:url('%1')\">Hi</td></tr></table>"_s
                                        << true;
        QTest::newRow("style sheet") << u"<link rel='stylesheet' href='%1'><p>Hi</p>"_s << true;
        QTest::newRow("frame") << u"<iframe src='%1'></iframe>"_s << false;
    }
    void nothingRemoteIsEverFetched()
    {
        QFETCH(QString, html);
        QFETCH(bool, reported);
        quillcast::testing::LocalHttpServer server;
        server.setReply("/pixel", {200, QByteArray("GIF89a"), QByteArray("Content-Type: image/gif\r\n")});
        const QString page = html.arg(server.url(u"/pixel"_s));

        // The same mail in a plain browser view does fetch it: the server
        // sees what a view lets through.
        {
            QWebEngineView plain;
            plain.resize(400, 300);
            plain.show();
            QVERIFY(load(plain, page));
            QTRY_VERIFY_WITH_TIMEOUT(!server.requests().isEmpty(), 10000);
        }
        const qsizetype fetchedByPlainView = server.requests().size();

        RecordingUrlOpener urls;
        HtmlView view(urls);
        view.resize(400, 300);
        view.show();
        QSignalSpy blocked(&view, &HtmlView::requestBlocked);
        QVERIFY(load(view, page));
        // A frame is refused before it asks (the page does not navigate to
        // the network), anything else asks and is refused.
        QTest::qWait(500); // anything late would have arrived by now
        QCOMPARE(server.requests().size(), fetchedByPlainView);
        QCOMPARE(blocked.isEmpty(), !reported);
        if (reported)
            QCOMPARE(blocked.first().first().toUrl(), QUrl(server.url(u"/pixel"_s)));
    }

    void scriptsDoNotRun()
    {
        RecordingUrlOpener urls;
        HtmlView view(urls);
        view.show();
        QVERIFY(load(view, u"<title>mail</title><script>document.title = 'script ran';</script>"_s));
        QTest::qWait(100);
        QCOMPARE(view.title(), u"mail"_s);
    }

    // A redirect the mail asks for goes nowhere: neither the view nor the
    // browser follows it. (A clicked link: aClickOnALinkOpensItInTheBrowser.)
    void aRedirectToTheNetworkIsNeitherFollowedNorOpened()
    {
        RecordingUrlOpener urls;
        HtmlView view(urls);
        auto *page = qobject_cast<HtmlPage *>(view.page());
        QVERIFY(page);
        QVERIFY(!page->acceptNavigationRequest(QUrl(u"https://example.org/offer"_s),
                                               QWebEnginePage::NavigationTypeRedirect, true));
        QCOMPARE(urls.openedUrls, QStringList());
    }

    void theMailPagesWebTabShowsTheHtmlBodyAsWritten()
    {
        quillcast::gui::testing::PageContext page;
        QVERIFY(page.session.newDocument([](MyDocument &doc) {
            doc.setEmailKind(1);
            doc.setUseMailServerToSend(1);
            doc.setMailFormBodyHtml(u"<table><tr><td>Dear _Name_</td></tr></table>"_s);
            return success();
        }));
        new MailTab(page.context, &page.window);
        page.show();
        QVERIFY(!page.find<HtmlView>(u"mailWebView"_s)); // not before it is needed
        auto *tabs = page.find<QTabWidget>(u"mailHtmlTabs"_s);
        tabs->setCurrentWidget(page.find<QWidget>(u"web"_s));
        auto *view = page.find<HtmlView>(u"mailWebView"_s);
        QVERIFY(view);
        QTRY_COMPARE_WITH_TIMEOUT(shownText(view->page()).trimmed(), u"Dear _Name_"_s, 20000);
        QVERIFY(!page.document().isDocumentEdited()); // showing is no edit

        page.document().setMailFormBodyHtml(u"<p>Changed</p>"_s);
        QTRY_COMPARE_WITH_TIMEOUT(shownText(view->page()).trimmed(), u"Changed"_s, 20000);
    }

    void aClickOnALinkOpensItInTheBrowser_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("in place") << QString();
        QTest::newRow("in a new window") << u"target='_blank'"_s;
    }
    void aClickOnALinkOpensItInTheBrowser()
    {
        QFETCH(QString, target);
        RecordingUrlOpener urls;
        HtmlView view(urls);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(load(view, u"<body style='margin:0'><a href='https://example.org/offer' %1 "
                           "style='display:block;width:400px;height:300px'>offer</a></body>"_s.arg(target)));
        QTest::qWait(200);
        QWidget *surface = view.focusProxy() ? view.focusProxy() : &view;
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(50, 50));
        QTRY_COMPARE_WITH_TIMEOUT(urls.openedUrls, QStringList{u"https://example.org/offer"_s}, 10000);
        QVERIFY(view.url().scheme() != u"https"_s);
    }

    // Also once the window has given the session its dialog services again
    // (which makes the preview anew).
    void thePreviewRendersTheMergedAndTheUnmergedHtml()
    {
        quillcast::gui::testing::PageContext page;
        QVERIFY(page.session.newDocument([](MyDocument &doc) {
            doc.setKeyArray(List({Value(DocumentKeys::makeDbKey(u"1"_s, u"#"_s)),
                                  Value(DocumentKeys::makeDbKey(u"2"_s, u"sel"_s)),
                                  Value(DocumentKeys::makeDbKey(u"3"_s, u"email"_s)),
                                  Value(DocumentKeys::makeDbKey(u"4"_s, u"Name"_s))}));
            doc.setAddressArray(List({Value(quillcast::testing::record(1, false, u"ann@x.org"_s, u"Ann"_s))}));
            doc.setEmailKind(1);
            doc.setUseMailServerToSend(1);
            doc.setMailFormBodyHtml(u"<p>Dear _Name_</p>"_s);
            return success();
        }));
        new PreviewTab(page.context, &page.window);
        page.show();
        page.session.setDialogServices(
            {page.panel, page.alerts, page.loop, &page.revealer, &page.opener, &page.window});
        page.session.preview().updateThePreviewArray();
        auto *view = page.find<HtmlView>(u"previewWebView"_s);
        QVERIFY(view); // an HTML message opens on its rendering
        QTRY_COMPARE_WITH_TIMEOUT(shownText(view->page()).trimmed(), u"Dear Ann"_s, 20000);

        QTest::mouseClick(page.find<QPushButton>(u"previewUnmergedButton"_s), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(shownText(view->page()).trimmed(), u"Dear _Name_"_s, 20000);
    }
};

int main(int argc, char **argv)
{
    // The engine shares its graphics contexts with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    HtmlViewTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "HtmlViewTest.moc"
