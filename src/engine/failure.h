#pragma once

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace tidemark {

/// Failure number for access denied; every other number counts as an "other" error.
inline constexpr int kAccessDenied = 70;

/// What went wrong: a number (70 means access denied) and a description shown verbatim to the user.
struct Failure {
    int number = 0;
    std::string description;

    bool IsAccessDenied() const { return number == kAccessDenied; }
    /// The destination's file system is full, or the user's share of it is.
    bool IsNoSpace() const;
    friend bool operator==(const Failure&, const Failure&) = default;
};

/// The failure for a system error number: access denied (EACCES, EPERM, EROFS) becomes 70,
/// every other error 1000 + its number, so that none of them can be mistaken for 70.
inline Failure FailureFromErrno(int error) {
    const bool denied = error == EACCES || error == EPERM || error == EROFS;
    return Failure{denied ? kAccessDenied : 1000 + error, std::strerror(error)};
}

inline bool Failure::IsNoSpace() const {
    return number == FailureFromErrno(ENOSPC).number || number == FailureFromErrno(EDQUOT).number;
}

/// The failure of a copy whose source changed while it was copied: the copy is not put in
/// place, and the next pass copies the file again.
inline Failure SourceChanged() {
    return Failure{2000, "The file changed while it was being copied"};
}

/// The outcome of an operation that produces no value: success, or a failure.
class [[nodiscard]] Status {
  public:
    Status() = default;
    Status(Failure failure) : failure_(std::move(failure)) {}  // NOLINT: implicit by design

    static Status Ok() { return {}; }
    bool ok() const { return !failure_.has_value(); }
    explicit operator bool() const { return ok(); }
    /// Only valid when !ok().
    const Failure& failure() const { return *failure_; }

  private:
    std::optional<Failure> failure_;
};

/// The outcome of an operation that produces a value: the value, or a failure.
template <typename T>
class [[nodiscard]] Result {
  public:
    Result(T value) : state_(std::move(value)) {}            // NOLINT: implicit by design
    Result(Failure failure) : state_(std::move(failure)) {}  // NOLINT: implicit by design

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }
    /// Only valid when ok().
    const T& value() const& { return std::get<0>(state_); }
    T& value() & { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    const T& operator*() const& { return value(); }
    const T* operator->() const { return &value(); }
    /// Only valid when !ok().
    const Failure& failure() const { return std::get<1>(state_); }

  private:
    std::variant<T, Failure> state_;
};

}  // namespace tidemark
