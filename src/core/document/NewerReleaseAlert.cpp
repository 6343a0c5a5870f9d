#include "document/NewerReleaseAlert.h"

#include "platform/AlertPresenter.h"
#include "platform/UrlOpener.h"

#include <memory>

using namespace Qt::StringLiterals;

namespace quillcast {

QUrl NewerReleaseAlert::downloadPageUrl()
{
    return QUrl(u"https://quillcast.example/download"_s);
}

Alert NewerReleaseAlert::make(const QString &messageText, const QString &informativeText)
{
    return Alert{messageText, informativeText, {u"Go to Download Last Version"_s, u"Cancel"_s}, Alert::Style::Warning,
                 Alert::Kind::Modal};
}

Alert NewerReleaseAlert::forDocument()
{
    return make(
        u"The document you requested to open was created with a more recent version of this application"_s,
        u"To open this file you need a release of this application equal or successive to the one used to create this file.\n\nProbably you are using an outdated release.\nYou can download for free the last version of this application from our site"_s);
}

bool NewerReleaseAlert::askToDownload(const Alert &alert, AlertPresenter &alerts, UrlOpener &opener)
{
    // A modal alert answers before present() returns; the flag outlives this
    // call all the same in case a presenter answers later.
    auto chosen = std::make_shared<bool>(false);
    UrlOpener *openerPtr = &opener;
    alerts.present(alert, [chosen, openerPtr](int button) {
        *chosen = button == 0;
        if (*chosen)
            openerPtr->openUrl(downloadPageUrl());
    });
    return *chosen;
}

} // namespace quillcast
