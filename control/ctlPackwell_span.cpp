// Split and join operations of ctlPackwell: not built yet.
#include "control/ctlPackwell.h"
#include "platform/Error.h"
#include "platform/FailureTrap.h"

bool ctlPackwell::SPLITfile_with_dialog(std::int32_t, std::int32_t, std::string&) { return false; }
bool ctlPackwell::SPLITfile_with_dialog(std::int32_t hwnd, std::int32_t chunkSize) {
    std::string none;
    return SPLITfile_with_dialog(hwnd, chunkSize, none);
}
bool ctlPackwell::SPLITfile(const std::string&, std::int32_t, std::string&) { return false; }
bool ctlPackwell::SPLITfile(const std::string& path, std::int32_t chunkSize) {
    std::string none;
    return SPLITfile(path, chunkSize, none);
}
std::string ctlPackwell::JOINfiles_with_dialog(std::int32_t) { return ""; }
std::string ctlPackwell::JOINfiles(const std::string&) { return ""; }
