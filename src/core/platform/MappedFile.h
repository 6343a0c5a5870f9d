#pragma once

#include "util/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace quillcast {

// A regular file's contents mapped read-only into memory, for reading a large
// file once without copying it: its pages come from the system's file cache as
// they are read, and releasePages() gives the ones read so far back, so a
// reader that goes through the file need not hold all of it at once.
//
// The file is refused as RegularFileReader::read refuses it (not a regular
// file, over the limit). The mapping shows the file as it was opened; a file
// that another program cuts short while it is mapped cannot be read to its
// old end (the system stops the process), which is why the mailing's own
// saves never rewrite a file in place.
class MappedFile
{
public:
    static Result<MappedFile> map(const QString &path, qint64 limit);

    MappedFile(MappedFile &&other) noexcept;
    MappedFile &operator=(MappedFile &&other) noexcept;
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;
    ~MappedFile();

    QByteArrayView bytes() const { return QByteArrayView(m_data, m_size); }
    // The same bytes as a QByteArray that does not own them: valid while
    // this MappedFile lives.
    QByteArray rawBytes() const { return QByteArray::fromRawData(m_data, m_size); }

    // Drops the pages of the mapping from this process; reading them again
    // brings them back from the file. Safe at any time.
    void releasePages() const;

private:
    MappedFile(const char *data, qsizetype size) : m_data(data), m_size(size) {}

    const char *m_data = nullptr;
    qsizetype m_size = 0;
};

} // namespace quillcast
