#include "platform/LXUrlResolutor.h"

#include "platform/NullUrlOpener.h"
#include "util/LXNetValidator.h"
#include "util/LXStringUtils.h"

#include <QUrl>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

constexpr auto ftpScheme = "ftp://"_L1;

// The credentials are percent-encoded: a password holding "@", "/", ":" or
// "#" would otherwise move the host into the user info or the password into
// the path.
QString ftpUrlWithCredentials(const QString &text, const QString &user, const QString &password)
{
    if (user.isEmpty() || password.isEmpty())
        return text;
    return ftpScheme + QString::fromLatin1(QUrl::toPercentEncoding(user)) + u':'
        + QString::fromLatin1(QUrl::toPercentEncoding(password)) + u'@' + text.mid(ftpScheme.size());
}

} // namespace

LXUrlResolutor::LXUrlResolutor(UrlOpener &opener) : m_opener(&opener), m_defaultProtocolType(u"http://"_s) {}

LXUrlResolutor &LXUrlResolutor::sharedUrlResolutor()
{
    static LXUrlResolutor resolver(NullUrlOpener::instance());
    return resolver;
}

void LXUrlResolutor::setOpener(UrlOpener &opener)
{
    m_opener = &opener;
}

const QString &LXUrlResolutor::defaultProtocolType() const
{
    return m_defaultProtocolType;
}

void LXUrlResolutor::setDefaultProtocolType(const QString &protocol)
{
    m_defaultProtocolType = protocol;
}

bool LXUrlResolutor::openUrl(const QString &text, const QString &user, const QString &password)
{
    return smartOpenUrl(text, user, password) || openWithDefaultProtocol(text, user, password);
}

bool LXUrlResolutor::smartOpenUrl(const QString &text, const QString &user, const QString &password)
{
    const QString url = LXStringUtils::trimLateralSpace(text);
    if (url.isEmpty())
        return false;
    if (url.startsWith("http://"_L1))
        return openHttp(url, user, password);
    if (url.startsWith("https://"_L1))
        return openHttps(url, user, password);
    if (url.startsWith(ftpScheme))
        return openFtp(url, user, password);
    if (url.startsWith("mailto:"_L1))
        return openMail(url, user, password);
    if (LXNetValidator::isValidEmail(url))
        return openMail(u"mailto:"_s + url, user, password);
    if (url.startsWith("feed://"_L1))
        return openFeed(url, user, password);
    if (url.startsWith("file://"_L1))
        return openFile(url, user, password);
    return false;
}

bool LXUrlResolutor::openWithDefaultProtocol(const QString &text, const QString &user, const QString &password)
{
    // Trimmed before the protocol goes in front, as the first attempt trimmed
    // it; and a blank text is not a link to the bare protocol.
    const QString trimmed = LXStringUtils::trimLateralSpace(text);
    if (trimmed.isEmpty())
        return false;
    return smartOpenUrl(m_defaultProtocolType + trimmed, user, password);
}

QString LXUrlResolutor::smartUrl(const QString &text, const QString &user, const QString &password, bool) const
{
    if (text.isNull())
        return QString();
    const QString url = LXStringUtils::trimLateralSpace(text);
    if (!url.startsWith(ftpScheme))
        return url;
    return ftpUrlWithCredentials(url, user, password);
}

bool LXUrlResolutor::openHttp(const QString &text, const QString &, const QString &)
{
    return openAsUrl(text);
}

bool LXUrlResolutor::openHttps(const QString &text, const QString &, const QString &)
{
    return openAsUrl(text);
}

bool LXUrlResolutor::openMail(const QString &text, const QString &, const QString &)
{
    return openAsUrl(text);
}

bool LXUrlResolutor::openFeed(const QString &text, const QString &, const QString &)
{
    return openAsUrl(text);
}

bool LXUrlResolutor::openTelnet(const QString &text, const QString &, const QString &)
{
    return openAsUrl(text);
}

bool LXUrlResolutor::openFtp(const QString &text, const QString &user, const QString &password)
{
    return openAsUrl(ftpUrlWithCredentials(text, user, password));
}

bool LXUrlResolutor::openFile(const QString &text, const QString &, const QString &)
{
    const QString path = text.mid(QStringView(u"file://").size());
    const bool exists = m_opener->fileExists(path);
    if (exists)
        m_opener->openFile(path);
    return exists;
}

bool LXUrlResolutor::openAsUrl(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return false;
    return m_opener->openUrl(url);
}

} // namespace quillcast
