// Zip operations of ctlPackwell: not built yet.
#include "control/ctlPackwell.h"
#include "platform/Error.h"
#include "platform/FailureTrap.h"

namespace {
bool notYet() {
    pw::trapFailures([] { pw::raise(pw::kInvalidProcedureCall, "PackwellDEMO", "Zip operations are not available"); });
    return false;
}
}  // namespace

bool ctlPackwell::zipONEfile(const std::string&, const std::string&, bool) { return notYet(); }
bool ctlPackwell::zipFolder(const std::string&, const std::string&, const std::string&, bool) { return notYet(); }
bool ctlPackwell::addFilesToZip_with_dialog(const std::string&, std::int32_t, bool) { return notYet(); }
bool ctlPackwell::addFileToZip(const std::string&, const std::string&, bool) { return notYet(); }
bool ctlPackwell::zipFiles_with_dialog(const std::string&, std::int32_t, bool) { return notYet(); }
void ctlPackwell::m_cZ_Progress(std::int32_t, const std::string&) {}
