#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

namespace quillcast {
class UserDefaults;
class ValueTransformer;
class ValueTransformerRegistry;
} // namespace quillcast

namespace quillcast::gui {

// A property of a widget kept equal to a user-defaults key, through a named
// value transformer when one is given: the stored value, transformed, is what
// the property shows; a property the user changes (one with a change signal,
// such as "checked" or "currentIndex") is stored back through the reverse
// conversion, where the transformer has one. Any write to the defaults from
// this process (a command of the application object included) shows at once.
//
// Belongs to the widget: it goes when the widget goes.
class DefaultsBinding final : public QObject
{
    Q_OBJECT

public:
    // An unknown transformer name binds nothing and says so in the log: a
    // misspelt name must not quietly show the raw value.
    static DefaultsBinding *bind(QObject *target, const char *property, UserDefaults &defaults, const QString &key,
                                 const ValueTransformerRegistry &transformers = noTransformers(),
                                 const QString &transformerName = {});

    ~DefaultsBinding() override;

private:
    DefaultsBinding(QObject *target, const char *property, UserDefaults &defaults, const QString &key,
                    std::shared_ptr<ValueTransformer> transformer);

    static const ValueTransformerRegistry &noTransformers();

    void show();

private Q_SLOTS:
    void store();

private:

    QPointer<QObject> m_target;
    QByteArray m_property;
    UserDefaults &m_defaults;
    QString m_key;
    std::shared_ptr<ValueTransformer> m_transformer;
    int m_observer = 0;
    bool m_showing = false;
};

} // namespace quillcast::gui
