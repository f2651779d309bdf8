// Listing and unzip operations of ctlPackwell: not built yet.
#include "control/ctlPackwell.h"
#include "platform/Error.h"

bool ctlPackwell::UnzipDirectly(const std::string&, const std::string&, bool) {
    pw::raise(pw::kInvalidProcedureCall, "PackwellDEMO", "Unzip operations are not available");
}
bool ctlPackwell::ListFilesFromZip(const std::string&) {
    pw::raise(pw::kInvalidProcedureCall, "PackwellDEMO", "Listing is not available");
}
void ctlPackwell::m_cUnzip_OverWritePrompt(const std::string&, std::int32_t& eResponse) { eResponse = 104; }
