#include "app/transformers/Conversions.h"

#include "platform/LXBookmark.h"
#include "util/LXStringUtils.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace quillcast::conversions {

Value oneIfNotZero(const Value &value)
{
    return Value(qint64(value.toInt64() != 0 ? 1 : 0));
}

Value isNotZero(const Value &value)
{
    return Value(value.toInt64() != 0);
}

Value isZero(const Value &value)
{
    return Value(value.toInt64() == 0);
}

Value oneIfTrue(const Value &value)
{
    return Value(qint64(value.toBool() ? 1 : 0));
}

Value oneIfFalse(const Value &value)
{
    return Value(qint64(value.toBool() ? 0 : 1));
}

Value oneIfSeveralInList(const Value &value)
{
    return Value(qint64(value.isList() && value.toList().size() > 1 ? 1 : 0));
}

Value newEmptyList(const Value &)
{
    return Value(List());
}

Value isBlankText(const Value &value)
{
    if (value.isNull())
        return Value(true);
    return Value(LXStringUtils::trimLateralSpace(value.toString()).isEmpty());
}

Value isFilledText(const Value &value)
{
    if (value.isNull())
        return Value(false);
    return Value(!LXStringUtils::trimLateralSpace(value.toString()).isEmpty());
}

Value rowHeightForFontSize(const Value &value)
{
    if (value.isNull())
        return Value();
    const double size = value.toDouble();
    if (!std::isfinite(size) || std::abs(size) > double(std::numeric_limits<float>::max()))
        return Value();
    // The product is rounded to float before the addition: volatile keeps
    // compilers that fuse a multiply and an add (the default on some
    // processors) from skipping that rounding. In double precision 85 x 1.4
    // falls just short of 119 and would give 120 instead of 121.
    const volatile float scaled = float(size) * 1.4f;
    const float height = scaled + 2.0f;
    if (!std::isfinite(height))
        return Value();
    // Truncation toward zero; sizes no font has are held to the integer range
    // rather than overflowing the conversion.
    constexpr float limit = 9.2e18f; // just below 2^63
    return Value(qint64(std::trunc(std::clamp(height, -limit, limit))));
}

namespace {

// Where a stored bookmark points; none for no bookmark or one that no longer
// resolves.
std::optional<LXBookmark::Location> bookmarkedLocation(const Value &value)
{
    if (value.type() != Value::Type::Bytes)
        return std::nullopt;
    return LXBookmark::urlForBookmark(value.toBytes(), nullptr);
}

} // namespace

Value pathFromBookmark(const Value &value)
{
    if (value.isNull())
        return Value(QString());
    const std::optional<LXBookmark::Location> location = bookmarkedLocation(value);
    return location ? Value(location->path) : Value();
}

Value fileNameFromBookmark(const Value &value)
{
    if (value.isNull())
        return Value(QString());
    const std::optional<LXBookmark::Location> location = bookmarkedLocation(value);
    return location ? Value(QFileInfo(location->path).fileName()) : Value();
}

} // namespace quillcast::conversions
