#include "connections/OpenSslRandomSource.h"

#include <openssl/rand.h>

#include <limits>

namespace quillcast {

std::optional<QByteArray> OpenSslRandomSource::randomBytes(qsizetype count)
{
    if (count < 0 || count > std::numeric_limits<int>::max())
        return std::nullopt;
    QByteArray bytes(count, '\0');
    if (count > 0 && RAND_bytes(reinterpret_cast<unsigned char *>(bytes.data()), int(count)) != 1)
        return std::nullopt;
    return bytes;
}

OpenSslRandomSource &OpenSslRandomSource::instance()
{
    static OpenSslRandomSource source;
    return source;
}

} // namespace quillcast
