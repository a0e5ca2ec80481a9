#pragma once

#include <string>
#include <utility>
#include <variant>

namespace lithora {

enum class ErrorCode {
    NotFound,    // a file or directory that should be there is not
    Unreadable,  // it is there but cannot be read
    Damaged,     // its content breaks the format
    WriteFailed, // an output file could not be written
};

struct Error {
    ErrorCode code;
    std::string message;
};

// A value or the reason there is none. The core reports failures this way and never throws
// across its boundary.
template <typename T> class [[nodiscard]] Result {
  public:
    Result(T value) : m_data(std::move(value)) {}
    Result(Error error) : m_data(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(m_data); }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<T>(m_data); }
    const T& value() const& { return std::get<T>(m_data); }
    T&& value() && { return std::get<T>(std::move(m_data)); }
    const Error& error() const { return std::get<Error>(m_data); }

  private:
    std::variant<T, Error> m_data;
};

struct Ok {};
using Status = Result<Ok>;

inline Error makeError(ErrorCode code, std::string message) {
    return Error{code, std::move(message)};
}

} // namespace lithora
