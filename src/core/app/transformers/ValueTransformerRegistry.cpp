#include "app/transformers/ValueTransformerRegistry.h"

#include "app/transformers/ConversionTransformers.h"
#include "app/transformers/LXValueIs1.h"

#include <QMutexLocker>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

template<typename T>
std::shared_ptr<ValueTransformer> make()
{
    return std::make_shared<T>();
}

// The transformer classes a binding can name without a registered instance.
std::shared_ptr<ValueTransformer> newInstanceOfClass(const QString &name)
{
    using Factory = std::shared_ptr<ValueTransformer> (*)();
    static const QHash<QString, Factory> classes{
        {u"LXValueIs1"_s, &make<LXValueIs1>},
        {u"LX1IfNot0"_s, &make<LX1IfNot0>},
        {u"LXIntToBool"_s, &make<LXIntToBool>},
        {u"LXNegateIntToBool"_s, &make<LXNegateIntToBool>},
        {u"LXNumberBoolToNumberNum"_s, &make<LXNumberBoolToNumberNum>},
        {u"LXOneIfOneInArray"_s, &make<LXOneIfOneInArray>},
        {u"LXEmptyTrimmedString"_s, &make<LXEmptyTrimmedString>},
        {u"LXFilledTrimmedString"_s, &make<LXFilledTrimmedString>},
        {u"LXHeightForFontSize"_s, &make<LXHeightForFontSize>},
        {u"LXPathFromBookmark"_s, &make<LXPathFromBookmark>},
        {u"LXNameFromBookmark"_s, &make<LXNameFromBookmark>},
        {u"LXUnarchivieFromDataToText"_s, &make<LXUnarchivieFromDataToText>},
    };
    const Factory factory = classes.value(name);
    return factory != nullptr ? factory() : nullptr;
}

} // namespace

void ValueTransformerRegistry::setValueTransformer(const QString &name, std::shared_ptr<ValueTransformer> transformer)
{
    QMutexLocker lock(&m_mutex);
    if (transformer)
        m_registered.insert(name, std::move(transformer));
    else
        m_registered.remove(name);
}

std::shared_ptr<ValueTransformer> ValueTransformerRegistry::valueTransformerForName(const QString &name) const
{
    QMutexLocker lock(&m_mutex);
    if (auto registered = m_registered.constFind(name); registered != m_registered.constEnd())
        return *registered;
    if (auto made = m_classInstances.constFind(name); made != m_classInstances.constEnd())
        return *made;
    std::shared_ptr<ValueTransformer> instance = newInstanceOfClass(name);
    if (instance)
        m_classInstances.insert(name, instance);
    return instance;
}

} // namespace quillcast
