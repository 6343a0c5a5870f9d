// libFuzzer target for the document file's container: arbitrary bytes are
// read as a keyed archive. Anything may be refused; nothing may crash, hang or
// allocate without bound. What does read must save, read back, and save again
// to the very same bytes, and read the same with the check on a second core.

#include "document/archive/KeyedArchiver.h"
#include "document/archive/KeyedUnarchiver.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace quillcast;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The reader works on the input in place; libFuzzer's copy of it is
    // exactly `size` bytes long, so AddressSanitizer catches any read past it.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const Result<Value> read = KeyedUnarchiver::unarchive(bytes, {}, KeyedUnarchiver::Cores::One);
    // Decoding while the structure is checked on a second core must come to
    // the same value or the same refusal.
    const Result<Value> alongside = KeyedUnarchiver::unarchive(bytes, {}, KeyedUnarchiver::Cores::Two);
    if (alongside.ok() != read.ok() || (read.ok() ? !(alongside.value() == read.value()) : alongside.error() != read.error()))
        std::abort();
    if (!read) {
        if (read.error().isEmpty())
            std::abort(); // a refusal must say why
        return 0;
    }
    const Result<QByteArray> saved = KeyedArchiver::archive(read.value());
    if (!saved)
        std::abort();
    const Result<Value> reread = KeyedUnarchiver::unarchive(saved.value());
    if (!reread)
        std::abort();
    const Result<QByteArray> again = KeyedArchiver::archive(reread.value());
    if (!again || again.value() != saved.value())
        std::abort();
    return 0;
}
