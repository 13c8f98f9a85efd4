#include "error.h"

#include <new>

namespace vexlo {

std::string errorMessage(const Error& error) {
    return "Error " + std::to_string(error.number) + ": " + error.message();
}

Error asError(const std::exception& failure) {
    if (const auto* own = dynamic_cast<const Error*>(&failure)) {
        return *own;
    }
    if (dynamic_cast<const std::bad_alloc*>(&failure) != nullptr) {
        return Error(errc::OutOfMemory, "Out of memory");
    }
    return Error(errc::InternalError, std::string("Internal error: ") + failure.what());
}

}  // namespace vexlo
