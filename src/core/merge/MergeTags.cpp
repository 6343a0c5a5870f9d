#include "merge/MergeTags.h"

#include "merge/DateTagValues.h"
#include "merge/TagSubstitution.h"

#include <array>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

// Places in the value table: the seven date tags, the three fixed record tags,
// then one per key from the fourth on.
enum Slot { YY, YYYY, MM, DD, HH, II, SS, Number, Sel, Email, FirstField };

constexpr qsizetype kFirstUserKey = 3;

void addDateTags(TagMatcher &matcher)
{
    const std::array<QString, 7> tags{u"_yy_"_s, u"_yyyy_"_s, u"_mm_"_s, u"_dd_"_s,
                                      u"_hh_"_s, u"_ii_"_s,   u"_ss_"_s};
    for (int slot = YY; slot <= SS; ++slot)
        matcher.add(tags[size_t(slot)], slot);
}

void addFixedTags(TagMatcher &matcher)
{
    matcher.add(u"_#_"_s, Number);
    matcher.add(u"_sel_"_s, Sel);
    matcher.add(u"_email_"_s, Email);
}

const TagMatcher &dateMatcher()
{
    static const TagMatcher matcher = [] {
        TagMatcher m;
        addDateTags(m);
        return m;
    }();
    return matcher;
}

} // namespace

MergeTags::MergeTags(const List &keyArray)
{
    keyArray.read([&](const List::Items &keys) {
        for (size_t k = kFirstUserKey; k < keys.size(); ++k) {
            Key key;
            if (keys[k].isDict()) {
                const Dict::Snapshot dict = keys[k].toDict().snapshot();
                key = Key{true, dict.stringValue(u"publicKey"_s), dict.stringValue(u"innerKey"_s)};
            }
            m_keys.push_back(std::move(key));
        }
    });

    // Added in order of precedence: the first of two tags spelled alike is kept.
    addDateTags(m_all);
    for (size_t k = 0; k < m_keys.size(); ++k) {
        if (!m_keys[k].isDict)
            continue;
        const QString tag = TagSubstitution::tagFromKey(m_keys[k].publicKey);
        m_all.add(tag, FirstField + int(k));
        m_record.add(tag, FirstField + int(k));
    }
    addFixedTags(m_all);
    addFixedTags(m_record);
}

bool MergeTags::isCompiledFrom(const List &keyArray) const
{
    bool same = true;
    keyArray.read([&](const List::Items &keys) {
        const size_t userKeys = keys.size() > size_t(kFirstUserKey) ? keys.size() - size_t(kFirstUserKey) : 0;
        if (userKeys != m_keys.size()) {
            same = false;
            return;
        }
        for (size_t k = 0; k < userKeys && same; ++k) {
            const Value &entry = keys[k + size_t(kFirstUserKey)];
            if (entry.isDict() != m_keys[k].isDict) {
                same = false;
            } else if (entry.isDict()) {
                const Dict::Snapshot dict = entry.toDict().snapshot();
                same = dict.stringValue(u"publicKey"_s) == m_keys[k].publicKey
                       && dict.stringValue(u"innerKey"_s) == m_keys[k].innerKey;
            }
        }
    });
    return same;
}

std::vector<QString> MergeTags::values(const Dict::Snapshot *record, const DateTagValues *dates) const
{
    std::vector<QString> v(FirstField + m_keys.size());
    if (dates) {
        v[YY] = dates->year2;
        v[YYYY] = dates->year;
        v[MM] = dates->month;
        v[DD] = dates->day;
        v[HH] = dates->hour;
        v[II] = dates->minute;
        v[SS] = dates->second;
    }
    if (record) {
        v[Number] = QString::number(record->value(u"1"_s).toInt32());
        v[Sel] = record->boolValue(u"2"_s) ? u"YES"_s : u"NO"_s;
        v[Email] = record->stringValue(u"3"_s);
        for (size_t k = 0; k < m_keys.size(); ++k) {
            if (m_keys[k].isDict)
                v[FirstField + k] = record->value(m_keys[k].innerKey).toString();
        }
    }
    return v;
}

QString MergeTags::merge(const QString &text, Kinds kinds, const std::vector<QString> &values) const
{
    switch (kinds) {
    case Kinds::Date:
        return dateMatcher().replaceAll(text, values);
    case Kinds::Record:
        return m_record.replaceAll(text, values);
    case Kinds::All:
        break;
    }
    return m_all.replaceAll(text, values);
}

} // namespace quillcast
