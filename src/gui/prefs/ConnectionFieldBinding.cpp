#include "prefs/ConnectionFieldBinding.h"

#include "app/transformers/ValueTransformer.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>

namespace quillcast::gui {

ConnectionFieldBinding::ConnectionFieldBinding(QWidget *control, QString key,
                                               std::shared_ptr<const ValueTransformer> transformer)
    : m_control(control),
      m_key(std::move(key)),
      m_transformer(std::move(transformer))
{
}

Value ConnectionFieldBinding::storedValue(const Dict &connection) const
{
    const Value value = connection.value(m_key);
    if (value.isNull() && !qobject_cast<QLineEdit *>(m_control.data()))
        return Value(qint64(0));
    return value;
}

void ConnectionFieldBinding::show(const std::optional<Dict> &connection) const
{
    if (!m_control)
        return;
    const QSignalBlocker quiet(m_control.data());
    Value value = connection ? storedValue(*connection) : Value();
    if (m_transformer && connection)
        value = m_transformer->transformedValue(value);
    if (auto *edit = qobject_cast<QLineEdit *>(m_control.data())) {
        if (edit->text() != value.toString())
            edit->setText(value.toString());
    } else if (auto *spin = qobject_cast<QSpinBox *>(m_control.data())) {
        spin->setValue(int(value.toInt64()));
    } else if (auto *popUp = qobject_cast<QComboBox *>(m_control.data())) {
        const qint64 index = value.toInt64();
        popUp->setCurrentIndex(connection && index >= 0 && index < popUp->count() ? int(index) : -1);
    } else if (auto *button = qobject_cast<QAbstractButton *>(m_control.data())) {
        button->setChecked(value.toBool());
    }
}

Value ConnectionFieldBinding::shownValue() const
{
    Value value;
    if (auto *edit = qobject_cast<QLineEdit *>(m_control.data()))
        value = Value(edit->text());
    else if (auto *spin = qobject_cast<QSpinBox *>(m_control.data()))
        value = Value(qint64(spin->value()));
    else if (auto *popUp = qobject_cast<QComboBox *>(m_control.data()))
        value = Value(qint64(popUp->currentIndex()));
    else if (auto *button = qobject_cast<QAbstractButton *>(m_control.data()))
        value = Value(button->isChecked());
    if (m_transformer)
        value = m_transformer->reverseTransformedValue(value);
    return value;
}

std::optional<Value> ConnectionFieldBinding::change(const Dict &connection) const
{
    if (!m_control)
        return std::nullopt;
    const Value value = shownValue();
    const Value stored = connection.value(m_key);
    if (value.isNull() ? stored.isNull() : (!stored.isNull() && stored == value))
        return std::nullopt;
    return value;
}

} // namespace quillcast::gui
