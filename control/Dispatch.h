// Binding by dispatch identifier: hosts that know the control's members only
// by their identifiers call them through Invoke, with arguments by reference
// (a member's change to an argument is written back into `args`).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Export.h"
#include "platform/Variant.h"

class ctlPackwell;

namespace pw {

enum class DispatchKind { Method, PropertyGet, PropertyPut };

// The control's dispatch identifiers.
enum DispId : std::int32_t {
    DISPID_zipONEfile = 0x60030012,
    DISPID_zipFolder = 0x60030013,
    DISPID_addFilesToZip_with_dialog = 0x60030014,
    DISPID_addFileToZip = 0x60030015,
    DISPID_ListZipContent = 0x60030016,
    DISPID_SPLITfile_with_dialog = 0x60030017,
    DISPID_SPLITfile = 0x60030018,
    DISPID_JOINfiles_with_dialog = 0x60030019,
    DISPID_JOINfiles = 0x6003001A,
    DISPID_UnzipDirectly = 0x6003001B,
    DISPID_ListFilesFromZip = 0x6003001C,
    DISPID_zipFiles_with_dialog = 0x60030021,
    DISPID_ListCount = 0x68030000,
    DISPID_getListFiles = 0x68030001,
    DISPID_formPasswordCaption = 0x68030002,
    DISPID_formPasswordIcon = 0x68030003,
    DISPID_formOverwriteCaption = 0x68030004,
    DISPID_formOverwriteIcon = 0x68030005,
    DISPID_formExtractIcon = 0x68030006,
    DISPID_formExtractCaption = 0x68030007,
    DISPID_formUnzipIcon = 0x68030008,
    DISPID_formUnzipCaption = 0x68030009,
};

// Calls member `dispId` of `control`. Unknown identifiers raise 438; a
// missing argument that is not optional raises 449; a wrong type raises 13.
PACKWELL_API Variant Invoke(ctlPackwell& control, std::int32_t dispId, DispatchKind kind, std::vector<Variant>& args);

// The identifier of a member by name (case-insensitive); -1 when unknown.
PACKWELL_API std::int32_t GetIDOfName(const std::string& name);

}  // namespace pw
