#include "support/error_report.h"

#include <new>
#include <system_error>

namespace quorvex {

namespace {
// Number shown for failures that carry no system error code.
constexpr long kGeneralFailure = 1;
}  // namespace

std::string ErrorReport::message() const {
    return "运行时错误 '" + std::to_string(number) + "':\n\n" + text;
}

ErrorReport describeError(std::exception_ptr failure) noexcept {
    try {
        try {
            std::rethrow_exception(failure);
        } catch (const std::system_error& e) {
            return {e.code().value(), e.what()};
        } catch (const std::bad_alloc&) {
            return {static_cast<long>(std::errc::not_enough_memory), "内存不足"};
        } catch (const std::exception& e) {
            return {kGeneralFailure, e.what()};
        } catch (...) {
            return {kGeneralFailure, "未知错误"};
        }
    } catch (...) {
        return {kGeneralFailure, "未知错误"};
    }
}

}  // namespace quorvex
