#pragma once

#include "util/Result.h"
#include "util/Value.h"

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

namespace quillcast {

class AlertPresenter;
class MyDocument;
class UrlOpener;

// The mailing's file: one root dictionary with a format number under
// "appversion" and the saved properties, in a keyed archive. Files of every
// earlier format are read (the keys each wrote, release-1 tags rewritten);
// files of a newer release are refused.
class DocumentFile
{
public:
    static constexpr quint64 currentFormat = 20800;

    // The root dictionary of the document as it is saved. Copies the log
    // view's text into myLog first when the window is set up.
    static Dict rootDictionary(MyDocument &doc);
    // The archive bytes of the document.
    static Result<QByteArray> dataOfType(MyDocument &doc);

    // Reads a freshly created document from archive bytes as the format
    // number says. A damaged file, or one of a newer release (after its
    // alert), is refused and leaves the document untouched.
    // pagesRead: see KeyedUnarchiver::unarchive.
    static Status readFromData(MyDocument &doc, const QByteArray &data, AlertPresenter &alerts, UrlOpener &opener,
                               const std::function<void()> &pagesRead = {});

    // The same from the root dictionary of such bytes.
    static Status readFromRoot(MyDocument &doc, const Dict &root, AlertPresenter &alerts, UrlOpener &opener);

    // The root dictionary of archive bytes, checked to be one.
    static Result<Dict> readRoot(const QByteArray &data, const std::function<void()> &pagesRead = {});
    // Whether the entries a file of this format has hold what they should
    // (the records' lists dictionaries, the texts texts...): the refusal
    // reading the root would give, or success.
    static Status checkEntries(const Dict &root, quint64 format);
    // The format number of a root dictionary: "appversion", 0 when absent.
    static Result<quint64> formatNumber(const Dict &root);

    // Saving replaces the file atomically: written aside, then renamed over
    // the old one, so a failure never leaves a half-written mailing.
    static Status writeToFile(MyDocument &doc, const QString &path);
    static Status writeToDevice(MyDocument &doc, QIODevice &device);
    static Status readFromFile(MyDocument &doc, const QString &path, AlertPresenter &alerts, UrlOpener &opener);

    // The prefix of every refusal of a damaged file.
    static QString damagedPrefix();
};

} // namespace quillcast
