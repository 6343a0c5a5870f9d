#pragma once

#include "util/Dict.h"
#include "util/Value.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

namespace quillcast {
class ValueTransformer;
}

namespace quillcast::gui {

// One control of the connection editor bound to one key of the selected
// connection: a line edit to a text, a spin box or pop-up to a number, a
// check box or radio button through a transformer (its forward conversion
// ticks the control, its reverse gives what a tick writes).
//
// Numbers a connection lacks read as 0, as the list's absent keys do.
class ConnectionFieldBinding
{
public:
    ConnectionFieldBinding(QWidget *control, QString key,
                           std::shared_ptr<const ValueTransformer> transformer = nullptr);

    QWidget *control() const { return m_control; }
    const QString &key() const { return m_key; }

    // Shows the key's value of the connection; an empty control for none.
    void show(const std::optional<Dict> &connection) const;
    // The value the control's state gives the key (none: no value); nothing
    // when the connection already holds it (a field left without a change
    // writes nothing).
    std::optional<Value> change(const Dict &connection) const;

private:
    Value shownValue() const;
    Value storedValue(const Dict &connection) const;

    QPointer<QWidget> m_control;
    QString m_key;
    std::shared_ptr<const ValueTransformer> m_transformer;
};

} // namespace quillcast::gui
