// Archive browser launch of ctlPackwell: not built yet.
#include "control/ctlPackwell.h"
#include "platform/Error.h"

void ctlPackwell::ListZipContent(const std::string&) {
    pw::raise(pw::kInvalidProcedureCall, "PackwellDEMO", "The archive browser is not available");
}
