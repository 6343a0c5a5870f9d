#include "app/transformers/LXValueIs1.h"

namespace quillcast {

LXValueIs1::LXValueIs1() : LXValueIsEqualToRef(1)
{
}

} // namespace quillcast
