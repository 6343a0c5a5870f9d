#pragma once

#include "document/archive/BinaryPlist.h"
#include "platform/MappedFile.h"
#include "util/Result.h"
#include "util/Value.h"

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace quillcast {

// A mailing's file opened to write its address list out (an export): the
// root dictionary is decoded as an open decodes it, less the address and
// send lists, and the records are read from the file one at a time as they
// are written, so that a million of them are never built at once. The
// structure of the whole file is checked on a second thread meanwhile;
// checked() tells how that ended.
//
// Only records that an open would decode without a doubt are read here:
// dictionaries of the common classes whose keys are texts and whose values
// are texts, numbers, booleans or data. At anything else, or when the check
// fails, Reader::seek() answers false; the send list is only looked over
// for such records (sendListPlain()). The caller then falls back on
// decodeAll(), which reads the list as an open does, with its refusals.
class ArchivedAddressList
{
public:
    // Files smaller than this are read as an open reads them: the records
    // of a small mailing cost little, and one way of reading them is enough.
    static constexpr qsizetype defaultFrom = qsizetype(32) * 1024 * 1024;

    // Fails, with a reason for the log and nothing else, for a file that is
    // smaller than from or that this reader leaves to an open: it cannot be
    // read, it is damaged in a way the root shows, or its lists are not
    // stored as arrays of references.
    static Result<std::shared_ptr<ArchivedAddressList>> open(const QString &path, qsizetype from = defaultFrom);
    ~ArchivedAddressList();
    ArchivedAddressList(const ArchivedAddressList &) = delete;
    ArchivedAddressList &operator=(const ArchivedAddressList &) = delete;

    // The root dictionary without "addressArray" and "sendArray".
    const Dict &root() const { return m_root; }
    // The records in the address list.
    size_t size() const { return m_records.size(); }

    // Waits for the structure check: a failure says why, as an open would.
    Status checked() const;
    // Once the check has passed: whether the send list, which is not read,
    // holds only records as this reader takes them (otherwise the file is
    // for decodeAll() to judge).
    bool sendListPlain() const;
    // The address list decoded as an open decodes it, or why the file is refused.
    Result<List> decodeAll() const;

    // Reads records for the values of some keys, one record at a time. Not
    // shared between threads: each thread that reads makes its own.
    class Reader
    {
    public:
        // innerKeys: the keys whose values field() gives, in its order.
        Reader(const ArchivedAddressList &list, std::vector<QString> innerKeys);

        // Goes to record at; false when it is not a record this reader
        // reads (see above), the structure check has failed, or the reading
        // has grown beyond what the file's size allows.
        bool seek(size_t at);

        enum class Field { None, Text, Other };
        // What the record sought has under innerKeys[key]: a text (text()),
        // any other value (value()), or none.
        Field field(size_t key) const { return m_fields[key]; }
        const QString &text(size_t key) const { return m_texts[key]; }
        const Value &value(size_t key) const { return m_others[key]; }

    private:
        bool readShape(const BinaryPlist::Items &keys);

        const ArchivedAddressList &m_list;
        std::vector<QString> m_innerKeys;
        std::vector<quint64> m_keyUids; // of the records read last
        std::vector<qsizetype> m_keyOf; // by place among them: which inner key, -1 if none
        // The record sought's values under the inner keys.
        std::vector<Field> m_fields;
        std::vector<QString> m_texts;
        std::vector<Value> m_others;
        quint64 m_classUid = 0; // a dictionary class met already
        quint64 m_spent = 0;
        size_t m_sinceCheck = 0; // records sought
    };

private:
    ArchivedAddressList(MappedFile file, BinaryPlist plist);

    // The class of an object, by its "$class" reference: one of the
    // dictionary (or array) classes Foundation writes.
    bool isClass(quint64 classUid, bool array) const;
    // The same by an object's "$class", known: a dictionary class met
    // already, which it becomes when another is met.
    bool isDictionary(BinaryPlist::Node classRef, quint64 &known) const;
    bool sendListIsPlain() const;

    MappedFile m_file;
    BinaryPlist m_plist;
    BinaryPlist::Items m_objects;
    BinaryPlist::Items m_records;
    BinaryPlist::Items m_sendItems;
    Dict m_root;
    quint64 m_budget = 0;
    std::atomic<bool> m_checkFailed{false};
    mutable std::optional<Status> m_checkResult; // once the check is waited for
    mutable bool m_sendListPlain = false;
    Status m_check = success(); // written by the check's thread
    mutable std::thread m_checker;
    mutable std::mutex m_waiting;
};

} // namespace quillcast
