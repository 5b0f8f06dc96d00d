#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

// The one result type of an operation that can fail with a reason someone must act on: a value,
// or the reason there is none. A small stand-in for C++23's std::expected, which GCC 12 lacks,
// with the same names (has_value(), value(), error(), unexpected()), so that moving to the
// standard one is a change of spelling. The reason is text for the user (QString) unless the
// layer below the texts gives a number (an errno) for the layer above to put into words.
namespace base {

template<typename E> class Unexpected
{
public:
    explicit Unexpected(E error)
        : m_error(std::move(error))
    {
    }
    const E &error() const & { return m_error; }
    E &&error() && { return std::move(m_error); }

private:
    E m_error;
};

// The failure to return: `return base::unexpected(tr("..."));`.
template<typename E> Unexpected<std::decay_t<E>> unexpected(E &&error)
{
    return Unexpected<std::decay_t<E>>(std::forward<E>(error));
}

template<typename T, typename E = QString> class [[nodiscard]] Expected
{
public:
    Expected() requires std::is_default_constructible_v<T> : m_state(std::in_place_index<0>) { }
    Expected(T value)
        : m_state(std::in_place_index<0>, std::move(value))
    {
    }
    Expected(Unexpected<E> failure)
        : m_state(std::in_place_index<1>, std::move(failure).error())
    {
    }

    bool has_value() const { return m_state.index() == 0; }
    explicit operator bool() const { return has_value(); }

    const T &value() const &
    {
        Q_ASSERT(has_value());
        return std::get<0>(m_state);
    }
    T &value() &
    {
        Q_ASSERT(has_value());
        return std::get<0>(m_state);
    }
    T &&value() &&
    {
        Q_ASSERT(has_value());
        return std::get<0>(std::move(m_state));
    }
    const T &operator*() const & { return value(); }
    T &operator*() & { return value(); }
    const T *operator->() const { return &value(); }
    T *operator->() { return &value(); }
    template<typename U> T value_or(U &&fallback) const &
    {
        return has_value() ? value() : T(std::forward<U>(fallback));
    }
    template<typename U> T value_or(U &&fallback) &&
    {
        return has_value() ? std::move(*this).value() : T(std::forward<U>(fallback));
    }

    const E &error() const
    {
        Q_ASSERT(!has_value());
        return std::get<1>(m_state);
    }

private:
    std::variant<T, E> m_state;
};

template<typename E> class [[nodiscard]] Expected<void, E>
{
public:
    Expected() = default;
    Expected(Unexpected<E> failure)
        : m_error(std::move(failure).error())
    {
    }

    bool has_value() const { return !m_error.has_value(); }
    explicit operator bool() const { return has_value(); }

    const E &error() const
    {
        Q_ASSERT(!has_value());
        return *m_error;
    }

private:
    std::optional<E> m_error;
};

} // namespace base
