#pragma once

#include <QString>

namespace quillcast {

class Clock;

// Display transformer for the angle-bracket date tags of older mail forms:
// "<yy>", "<YY>" (full year), "<mm>", "<dd>", "<hh>", "<ii>", "<ss>". One way
// only; matching is literal, code unit by code unit.
class LXDateTagElaborated
{
public:
    explicit LXDateTagElaborated(const Clock &clock);

    static bool allowsReverseTransformation() { return false; }
    // A null text gives "" (not null).
    QString transformedValue(const QString &value) const;

private:
    const Clock &m_clock;
};

} // namespace quillcast
