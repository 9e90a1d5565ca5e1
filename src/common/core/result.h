#pragma once

#include <QString>

#include <optional>
#include <utility>
#include <variant>

// A failure as the handlers report it: an error number and the platform's description.
struct Failure
{
    int number = 0;
    QString description;
};

template <typename T> class Result
{
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(Failure failure) : m_state(std::move(failure)) {}

    bool ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return ok(); }
    const T &value() const { return std::get<T>(m_state); }
    T &value() { return std::get<T>(m_state); }
    const Failure &failure() const { return std::get<Failure>(m_state); }

private:
    std::variant<T, Failure> m_state;
};

// Result of an operation that yields nothing but may fail.
class Status
{
public:
    Status() = default;
    Status(Failure failure) : m_failure(std::move(failure)) {}

    bool ok() const { return !m_failure.has_value(); }
    explicit operator bool() const { return ok(); }
    const Failure &failure() const { return *m_failure; }

private:
    std::optional<Failure> m_failure;
};

inline Failure failure(const QString &description, int number = 0)
{
    return Failure{number, description};
}
