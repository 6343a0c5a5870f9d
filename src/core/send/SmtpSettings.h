#pragma once

#include <QString>

#include <optional>

namespace quillcast {

// The settings of one SMTP session, in the terms of the SMTP client.
struct SmtpSettings
{
    // How the connection is secured (the numbers are the session's
    // connection type values).
    enum class Security { Clear = 1, StartTls = 2, Tls = 4 };
    // How the client authenticates (the session's authentication type values).
    enum class Auth { None = 0, SaslPlain = 2, XOAuth2Outlook = 512 };

    QString hostname;
    int port = 0;
    // None when no authentication is used.
    std::optional<QString> username;
    std::optional<QString> password;
    Auth authType = Auth::None;
    Security connectionType = Security::Clear;
    // None: the client's default.
    std::optional<int> timeoutSeconds;
    bool checkCertificate = true;
    bool useHeloIp = false;
    std::optional<QString> oauth2Token;
};

} // namespace quillcast
