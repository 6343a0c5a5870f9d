#pragma once

#include "app/transformers/LXValueIsEqualToRef.h"

namespace quillcast {

// LXValueIsEqualToRef with the reference 1, for bindings that name the class
// and so cannot pass a parameter.
class LXValueIs1 : public LXValueIsEqualToRef
{
public:
    LXValueIs1();
};

} // namespace quillcast
