#pragma once

#include "app/transformers/ValueTransformer.h"

#include <QHash>
#include <QMutex>
#include <QString>

#include <memory>

namespace quillcast {

// The transformers the interface's bindings name.
//
// A name is either one given to an instance with setValueTransformer (the
// application registers its parameterised instances, "valueIs0" and the like,
// before any window is loaded), or the name of a transformer class that needs
// no parameter ("LXIntToBool", "LXHeightForFontSize"...): a binding may name
// such a class directly, and gets one shared instance of it. A registered
// instance takes precedence over a class of the same name.
//
// Lookups may come from any thread.
class ValueTransformerRegistry
{
public:
    // Registers the transformer under the name, replacing any earlier one;
    // a null transformer removes the name.
    void setValueTransformer(const QString &name, std::shared_ptr<ValueTransformer> transformer);
    // The transformer of that name; null when there is none.
    std::shared_ptr<ValueTransformer> valueTransformerForName(const QString &name) const;

private:
    mutable QMutex m_mutex;
    QHash<QString, std::shared_ptr<ValueTransformer>> m_registered;
    mutable QHash<QString, std::shared_ptr<ValueTransformer>> m_classInstances;
};

} // namespace quillcast
