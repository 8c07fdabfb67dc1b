#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <tuple> // std::ignore, for a failure passed over on purpose
#include <utility>
#include <variant>

namespace tessaloom {

/// Codes for failures that have no errno. Negative, so they never meet one.
enum ProgramErrorCode : int
{
    kNotRegularFile = -1, ///< a FIFO, device, folder or socket where a file was expected
    kTooLarge = -2,       ///< a file over the size the program reads of its kind
    kCannotStore = -3,    ///< a value the file's format cannot hold
    kNotInFolder = -4,    ///< a name that is not a plain file of the folder in question
    kFolderReplaced = -5, ///< a folder's path led elsewhere by the time it was used
};

/// Why something failed: the errno where the system gave one, else a program code,
/// and the text the user reads.
struct Error
{
    int code = 0;
    std::string message;
};

/// An Error for a failed system call: `what` (what failed, on which file) + ": " +
/// the system's text for `err`.
Error SystemError(int err, std::string_view what);

/// A value or the Error that kept it from being made. Must be looked at: the
/// compiler finds a call whose failure is dropped. A failure passed over on purpose
/// is written `std::ignore = f(); // why`.
template <typename T> class [[nodiscard]] Result
{
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : m_state(std::in_place_index<1>, std::move(error)) {}

    bool ok() const noexcept { return m_state.index() == 0; }
    explicit operator bool() const noexcept { return ok(); }

    /// The value; only when ok() (else std::bad_variant_access).
    T& value() & { return std::get<0>(m_state); }
    const T& value() const& { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    /// The failure; only when !ok() (else std::bad_variant_access).
    const Error& error() const { return std::get<1>(m_state); }

private:
    std::variant<T, Error> m_state;
};

/// Success, or the Error of a step that has nothing to give back.
template <> class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Error error) : m_error(std::move(error)) {}

    bool ok() const noexcept { return !m_error.has_value(); }
    explicit operator bool() const noexcept { return ok(); }
    /// The failure; only when !ok().
    const Error& error() const { return m_error.value(); }

private:
    std::optional<Error> m_error;
};

} // namespace tessaloom
