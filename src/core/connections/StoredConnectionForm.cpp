#include "connections/StoredConnectionForm.h"

#include "connections/PasswordVault.h"
#include "platform/UserDefaultsKeys.h"
#include "util/Base64.h"
#include "util/Dict.h"

#include <QSet>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

enum class Kind { Text, Number, Flag, Bytes };

// The settings file gives every value back as text; these keys hold other
// kinds, which the list and the password vault expect as such.
Kind kindOf(const QString &key)
{
    static const QSet<QString> numbers{u"port"_s, u"connectionType"_s, u"authenticationType"_s, u"useCustomPort"_s,
                                       u"customPortUsed"_s};
    static const QSet<QString> bytes{QString::fromUtf16(PasswordVault::SealedPasswordKey),
                                     QString::fromUtf16(PasswordVault::SealedSaltKey),
                                     QString::fromUtf16(PasswordVault::SealedIVKey),
                                     QString::fromUtf16(PasswordVault::SharedPairPasswordKey)};
    if (numbers.contains(key))
        return Kind::Number;
    if (bytes.contains(key))
        return Kind::Bytes;
    if (key == u"useAuth")
        return Kind::Flag;
    return Kind::Text;
}

QString group(qsizetype index)
{
    // QSettings counts the entries of an array from 1.
    return UserDefaultsKeys::connectionArray + u'/' + QString::number(index + 1);
}

Value fromText(const QString &key, const Value &stored)
{
    if (!stored.isString())
        return stored; // a value of a kind the file keeps as it is (a list, say)
    const QString text = stored.toString();
    switch (kindOf(key)) {
    case Kind::Number: {
        bool ok = false;
        const qint64 number = text.toLongLong(&ok);
        return ok ? Value(number) : stored;
    }
    case Kind::Flag:
        return Value(text == u"true" || text == u"1");
    case Kind::Bytes:
        // Text that is no Base64 stays text: the vault finds no password in
        // it, and it is written back as it was.
        if (const std::optional<QByteArray> bytes = Base64::base64dec(text))
            return Value(*bytes);
        return stored;
    case Kind::Text:
        break;
    }
    return stored;
}

Value toText(const Value &value)
{
    switch (value.type()) {
    case Value::Type::Bytes:
        return Value(Base64::base64enc(value.toBytes()));
    case Value::Type::Bool:
        return Value(value.toBool() ? u"true"_s : u"false"_s);
    case Value::Type::Int:
        return Value(QString::number(value.toInt64()));
    default:
        return value;
    }
}

} // namespace

StoredConnectionForm::Stored StoredConnectionForm::read(const SettingsFileStore &store)
{
    const QString &key = UserDefaultsKeys::connectionArray;
    if (const Value oneValue = store.value(key); oneValue.isList())
        return {oneValue.toList(), true};

    Stored stored;
    const qint64 size = store.value(key + u"/size"_s).toString().toLongLong();
    List::Items connections;
    for (qint64 i = 0; i < size; ++i) {
        const QString at = group(i);
        const QStringList names = store.childKeys(at);
        if (names.isEmpty())
            continue; // an entry edited away by hand
        Dict connection;
        for (const QString &name : names)
            connection.set(name, fromText(name, store.value(at + u'/' + name)));
        connections.push_back(Value(connection));
    }
    stored.connections.setItems(std::move(connections));
    return stored;
}

std::vector<SettingsFileStore::Change> StoredConnectionForm::changes(const List &connections)
{
    const QString &key = UserDefaultsKeys::connectionArray;
    // The removal takes the earlier single value and every group, also those
    // of connections no longer in the list.
    std::vector<SettingsFileStore::Change> changes{{key, Value()}};
    const List::Items items = connections.items();
    for (qsizetype i = 0; i < qsizetype(items.size()); ++i) {
        const Dict connection = items[size_t(i)].toDict();
        for (const auto &entry : connection.snapshot().entries())
            changes.emplace_back(group(i) + u'/' + entry.first, toText(entry.second));
    }
    changes.emplace_back(key + u"/size"_s, Value(QString::number(items.size())));
    return changes;
}

} // namespace quillcast
