#pragma once

#include <QtGlobal>

namespace quillcast {

// Where random numbers come from. Injected so that tests can script the draws
// that end up in unique strings and generated passwords.
class RandomSource
{
public:
    virtual ~RandomSource() = default;

    // The next draw: uniformly distributed from 0 to 2^31 - 1.
    virtual quint32 next31() = 0;
};

} // namespace quillcast
