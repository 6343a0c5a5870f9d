#include "merge/TagSubstitution.h"

#include "merge/CanonicalReplacer.h"
#include "merge/DateTagValues.h"
#include "merge/PieceText.h"
#include "platform/Clock.h"

#include <array>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

const CanonicalReplacer &fixedTag(int which)
{
    static const std::array<CanonicalReplacer, 10> tags{
        CanonicalReplacer(u"_yy_"_s), CanonicalReplacer(u"_yyyy_"_s),  CanonicalReplacer(u"_mm_"_s),
        CanonicalReplacer(u"_dd_"_s), CanonicalReplacer(u"_hh_"_s),    CanonicalReplacer(u"_ii_"_s),
        CanonicalReplacer(u"_ss_"_s), CanonicalReplacer(u"_#_"_s),     CanonicalReplacer(u"_sel_"_s),
        CanonicalReplacer(u"_email_"_s)};
    return tags[size_t(which)];
}

enum FixedTag { YY, YYYY, MM, DD, HH, II, SS, Number, Sel, Email };

} // namespace

QString TagSubstitution::tagFromKey(const QString &name)
{
    return u'_' + name + u'_';
}

QString TagSubstitution::performTextSubstitutionNoDB(const QString &text, const Clock &clock)
{
    if (text.isNull())
        return QString();
    const DateTagValues v = DateTagValues::fromReading(clock.read());
    PieceText out(text);
    out.replaceAll(fixedTag(YY), v.year2);
    out.replaceAll(fixedTag(YYYY), v.year);
    out.replaceAll(fixedTag(MM), v.month);
    out.replaceAll(fixedTag(DD), v.day);
    out.replaceAll(fixedTag(HH), v.hour);
    out.replaceAll(fixedTag(II), v.minute);
    out.replaceAll(fixedTag(SS), v.second);
    return out.toString();
}

QString TagSubstitution::performTextSubstitution(const QString &text, const List &keyArray, const Dict &record)
{
    if (text.isNull())
        return QString();
    // One consistent view of the record for the whole pass, even if the main
    // thread edits it meanwhile.
    const Dict::Snapshot values = record.snapshot();
    PieceText out(text);

    keyArray.read([&](const List::Items &keys) {
        for (size_t k = 3; k < keys.size(); ++k) {
            if (!keys[k].isDict())
                continue;
            const Dict::Snapshot key = keys[k].toDict().snapshot();
            const CanonicalReplacer tag(tagFromKey(key.stringValue(u"publicKey"_s)));
            out.replaceAll(tag, values.value(key.stringValue(u"innerKey"_s)).toString());
        }
    });

    out.replaceAll(fixedTag(Number), QString::number(values.value(u"1"_s).toInt32()));
    out.replaceAll(fixedTag(Sel), values.boolValue(u"2"_s) ? u"YES"_s : u"NO"_s);
    out.replaceAll(fixedTag(Email), values.stringValue(u"3"_s));
    return out.toString();
}

} // namespace quillcast
