#include "platform/FailureTrap.h"

#include <filesystem>
#include <new>

#include "platform/Platform.h"

namespace pw {

Error toError(std::exception_ptr e) {
    try {
        std::rethrow_exception(e);
    } catch (const Error& err) {
        return err;
    } catch (const std::bad_alloc&) {
        return Error(kOutOfMemory);
    } catch (const std::filesystem::filesystem_error& fe) {
        return fileError(fe.code().value(), fe.path1().string());
    } catch (const std::exception& other) {
        return Error(kInvalidProcedureCall, "PackwellDEMO", other.what());
    } catch (...) {
        return Error(kInvalidProcedureCall);
    }
}

std::string failureText(const Error& e) { return std::to_string(e.number()) + ": " + e.description(); }

void showFailure(std::exception_ptr e) {
    try {
        platform().messageBox(failureText(toError(e)));
    } catch (...) {
        // The trap itself never lets anything escape to the host.
    }
}

}  // namespace pw
