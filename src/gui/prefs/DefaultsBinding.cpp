#include "prefs/DefaultsBinding.h"

#include "app/transformers/ValueTransformer.h"
#include "app/transformers/ValueTransformerRegistry.h"
#include "platform/UserDefaults.h"

#include <QDebug>
#include <QMetaMethod>
#include <QMetaProperty>

namespace quillcast::gui {

namespace {

QMetaProperty propertyOf(const QObject *target, const QByteArray &name)
{
    const QMetaObject *meta = target->metaObject();
    return meta->property(meta->indexOfProperty(name.constData()));
}

// The stored (transformed) value in the property's own type; a missing
// value reads as false, 0 or "", as everywhere in the defaults.
QVariant shownValue(const Value &value, QMetaType type)
{
    switch (type.id()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
        return value.toInt32();
    case QMetaType::Double:
        return value.toDouble();
    case QMetaType::QString:
        return value.toString();
    default:
        return QVariant();
    }
}

Value modelValue(const QVariant &shown)
{
    switch (shown.metaType().id()) {
    case QMetaType::Bool:
        return Value(shown.toBool());
    case QMetaType::Int:
        return Value(qint64(shown.toInt()));
    case QMetaType::Double:
        return Value(shown.toDouble());
    case QMetaType::QString:
        return Value(shown.toString());
    default:
        return Value();
    }
}

} // namespace

const ValueTransformerRegistry &DefaultsBinding::noTransformers()
{
    static const ValueTransformerRegistry none;
    return none;
}

DefaultsBinding *DefaultsBinding::bind(QObject *target, const char *property, UserDefaults &defaults,
                                       const QString &key, const ValueTransformerRegistry &transformers,
                                       const QString &transformerName)
{
    if (!target || !propertyOf(target, property).isValid()) {
        qWarning().noquote() << "No property" << property << "to bind to" << key;
        return nullptr;
    }
    std::shared_ptr<ValueTransformer> transformer;
    if (!transformerName.isEmpty()) {
        transformer = transformers.valueTransformerForName(transformerName);
        if (!transformer) {
            qWarning().noquote() << "No value transformer named" << transformerName << "for" << key;
            return nullptr;
        }
    }
    return new DefaultsBinding(target, property, defaults, key, std::move(transformer));
}

DefaultsBinding::DefaultsBinding(QObject *target, const char *property, UserDefaults &defaults, const QString &key,
                                 std::shared_ptr<ValueTransformer> transformer)
    : QObject(target), m_target(target), m_property(property), m_defaults(defaults), m_key(key),
      m_transformer(std::move(transformer))
{
    m_observer = m_defaults.addObserver([this](const QString &changed) {
        if (changed == m_key)
            show();
    });
    show();

    // Only what the user can change has a change signal; a transformer
    // without a reverse conversion makes the binding one-way.
    const QMetaProperty meta = propertyOf(target, m_property);
    if (meta.hasNotifySignal() && (!m_transformer || m_transformer->allowsReverseTransformation())) {
        const int slot = metaObject()->indexOfMethod("store()");
        connect(target, meta.notifySignal(), this, metaObject()->method(slot));
    }
}

DefaultsBinding::~DefaultsBinding()
{
    m_defaults.removeObserver(m_observer);
}

void DefaultsBinding::show()
{
    if (!m_target)
        return;
    Value value = m_defaults.objectForKey(m_key);
    if (m_transformer)
        value = m_transformer->transformedValue(value);
    // Showing a value is not the user changing it.
    m_showing = true;
    m_target->setProperty(m_property.constData(), shownValue(value, propertyOf(m_target, m_property).metaType()));
    m_showing = false;
}

void DefaultsBinding::store()
{
    if (m_showing || !m_target)
        return;
    Value value = modelValue(m_target->property(m_property.constData()));
    if (m_transformer)
        value = m_transformer->reverseTransformedValue(value);
    if (const Status stored = m_defaults.setObject(m_key, value); !stored) {
        qWarning().noquote() << "The preference" << m_key << "could not be stored:" << stored.error();
        // The control goes back to what is stored, not what it wished.
        show();
    }
}

} // namespace quillcast::gui
