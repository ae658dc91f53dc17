// A small success-or-message result for fallible calls outside the
// transaction objects (which keep their own sqlcode).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace officerecords {

class [[nodiscard]] status {
public:
    static status ok() { return status(); }
    static status error(std::string message) { return status(std::move(message)); }
    bool is_ok() const { return !message_.has_value(); }
    explicit operator bool() const { return is_ok(); }
    const std::string& message() const {
        static const std::string none;
        return message_ ? *message_ : none;
    }

private:
    status() = default;
    explicit status(std::string m) : message_(std::move(m)) {}
    std::optional<std::string> message_;
};

template <typename T>
class [[nodiscard]] result {
public:
    result(T v) : v_(std::move(v)) {}
    result(status s) : v_(std::move(s)) {}
    bool is_ok() const { return v_.index() == 0; }
    explicit operator bool() const { return is_ok(); }
    T& operator*() { return std::get<0>(v_); }
    T* operator->() { return &std::get<0>(v_); }
    T take() { return std::move(std::get<0>(v_)); }
    const std::string& message() const { return std::get<1>(v_).message(); }

private:
    std::variant<T, status> v_;
};

}  // namespace officerecords
