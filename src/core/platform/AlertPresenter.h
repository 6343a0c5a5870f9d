#pragma once

#include "platform/Alert.h"

#include <functional>

namespace quillcast {

// Shows alerts. The completion receives the index of the chosen button (0 is
// the first); a presenter may call it at once or later on the main thread,
// but calls it exactly once.
class AlertPresenter
{
public:
    using Completion = std::function<void(int chosenButton)>;

    virtual ~AlertPresenter() = default;
    virtual void present(const Alert &alert, Completion completion) = 0;
};

} // namespace quillcast
