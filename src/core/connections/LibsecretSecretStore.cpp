#include "connections/LibsecretSecretStore.h"

#include <QByteArray>

#include <libsecret/secret.h>

#include <openssl/crypto.h>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

constexpr char secretServiceName[] = "org.freedesktop.secrets";

const SecretSchema *connectionSchema()
{
    static const SecretSchema schema = [] {
        SecretSchema s{};
        s.name = LibsecretSecretStore::SchemaName;
        s.flags = SECRET_SCHEMA_NONE;
        s.attributes[0].name = LibsecretSecretStore::ReferenceAttribute;
        s.attributes[0].type = SECRET_SCHEMA_ATTRIBUTE_STRING;
        return s;
    }();
    return &schema;
}

// Takes over a GError and gives its message.
QString messageOf(GError *error, const char *fallback)
{
    const QString message = error && error->message ? QString::fromUtf8(error->message) : QString::fromUtf8(fallback);
    if (error)
        g_error_free(error);
    return message;
}

// The session bus the way GLib finds it, except that it never launches one:
// the address in the environment, or the user's bus socket of systemd.
QByteArray sessionBusAddress()
{
    const QByteArray fromEnvironment = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        return QByteArray();
    const QByteArray socket = runtime + "/bus";
    struct stat info = {};
    if (::stat(socket.constData(), &info) != 0 || !S_ISSOCK(info.st_mode))
        return QByteArray();
    gchar *escaped = g_dbus_address_escape_value(socket.constData());
    const QByteArray address = "unix:path=" + QByteArray(escaped);
    g_free(escaped);
    return address;
}

// Whether the bus at the address answers within the time and a Secret Service
// owns its name there. Asks on a connection of its own, on a main context of
// its own, so that neither a hung bus nor the caller's event loop can hold it up.
bool secretServiceAnswers(const QByteArray &address, std::chrono::milliseconds within)
{
    struct Probe
    {
        GMainContext *context = g_main_context_new();
        GCancellable *cancellable = g_cancellable_new();
        GDBusConnection *bus = nullptr;
        bool connecting = true;
        bool asking = false;
        bool owned = false;
        ~Probe()
        {
            if (bus) {
                g_dbus_connection_close_sync(bus, nullptr, nullptr);
                g_object_unref(bus);
            }
            g_object_unref(cancellable);
            g_main_context_unref(context);
        }
    } probe;

    g_main_context_push_thread_default(probe.context);
    GSource *timeout = g_timeout_source_new(guint(within.count()));
    g_source_set_callback(
        timeout,
        [](gpointer cancellable) -> gboolean {
            g_cancellable_cancel(static_cast<GCancellable *>(cancellable));
            return G_SOURCE_REMOVE;
        },
        probe.cancellable, nullptr);
    g_source_attach(timeout, probe.context);

    g_dbus_connection_new_for_address(
        address.constData(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                             | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, probe.cancellable,
        [](GObject *, GAsyncResult *result, gpointer data) {
            auto *p = static_cast<Probe *>(data);
            p->bus = g_dbus_connection_new_for_address_finish(result, nullptr);
            p->connecting = false;
        },
        &probe);
    while (probe.connecting)
        g_main_context_iteration(probe.context, TRUE);

    if (probe.bus) {
        probe.asking = true;
        g_dbus_connection_call(
            probe.bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
            g_variant_new("(s)", secretServiceName), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NO_AUTO_START,
            int(within.count()), probe.cancellable,
            [](GObject *source, GAsyncResult *result, gpointer data) {
                auto *p = static_cast<Probe *>(data);
                if (GVariant *reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr)) {
                    gboolean owned = FALSE;
                    g_variant_get(reply, "(b)", &owned);
                    p->owned = owned;
                    g_variant_unref(reply);
                }
                p->asking = false;
            },
            &probe);
        while (probe.asking)
            g_main_context_iteration(probe.context, TRUE);
    }
    g_source_destroy(timeout);
    g_source_unref(timeout);
    g_main_context_pop_thread_default(probe.context);
    return probe.owned;
}

} // namespace

std::unique_ptr<LibsecretSecretStore> LibsecretSecretStore::open(std::chrono::milliseconds answerWithin)
{
    const QByteArray address = sessionBusAddress();
    if (address.isEmpty() || !secretServiceAnswers(address, answerWithin))
        return nullptr;
    // libsecret talks over GLib's shared session bus connection, which by
    // default ends the process when the bus goes away: a keyring that
    // leaves must not take the application with it.
    if (GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
        g_dbus_connection_set_exit_on_close(bus, FALSE);
        g_object_unref(bus);
    }
    return std::unique_ptr<LibsecretSecretStore>(new LibsecretSecretStore);
}

Status LibsecretSecretStore::storePassword(const QString &reference, const QString &label, const QString &password)
{
    QByteArray clear = password.toUtf8();
    GError *error = nullptr;
    const gboolean stored =
        secret_password_store_sync(connectionSchema(), SECRET_COLLECTION_DEFAULT, label.toUtf8().constData(),
                                   clear.constData(), nullptr, &error, ReferenceAttribute,
                                   reference.toUtf8().constData(), nullptr);
    OPENSSL_cleanse(clear.data(), size_t(clear.size()));
    if (!stored)
        return Status::failure(u"the keyring did not keep the password: %1"_s.arg(messageOf(error, "refused")));
    return success();
}

Result<std::optional<QString>> LibsecretSecretStore::lookupPassword(const QString &reference)
{
    GError *error = nullptr;
    gchar *clear = secret_password_lookup_sync(connectionSchema(), nullptr, &error, ReferenceAttribute,
                                               reference.toUtf8().constData(), nullptr);
    if (error)
        return Result<std::optional<QString>>::failure(
            u"the keyring could not be asked for the password: %1"_s.arg(messageOf(error, "no answer")));
    if (!clear)
        return std::optional<QString>();
    const QString password = QString::fromUtf8(clear);
    // Wipes the keyring's copy before it is freed.
    secret_password_free(clear);
    return std::optional<QString>(password);
}

Status LibsecretSecretStore::removePassword(const QString &reference)
{
    GError *error = nullptr;
    secret_password_clear_sync(connectionSchema(), nullptr, &error, ReferenceAttribute,
                               reference.toUtf8().constData(), nullptr);
    if (error)
        return Status::failure(u"the keyring did not forget the password: %1"_s.arg(messageOf(error, "refused")));
    return success();
}

} // namespace quillcast
