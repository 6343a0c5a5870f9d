#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace quillcast {

// The outcome of an operation that can fail: a value, or a message for the
// user saying what went wrong. Errors cross module boundaries this way, never
// as exceptions.
template<typename T>
class Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    static Result failure(QString message)
    {
        Result r;
        r.m_error = std::move(message);
        return r;
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    // Only for a result that is ok().
    const T &value() const & { return m_value.value(); }
    T &value() & { return m_value.value(); }
    T &&value() && { return std::move(m_value.value()); }
    const T *operator->() const { return &m_value.value(); }
    const QString &error() const { return m_error; }

private:
    Result() = default;
    std::optional<T> m_value;
    QString m_error;
};

// For operations with nothing to return but success.
struct Done
{
};
using Status = Result<Done>;
inline Status success()
{
    return Status(Done{});
}

} // namespace quillcast
