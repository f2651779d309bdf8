#include "errors/Error.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace pw {

Error::Error(int number, std::string source, std::string description)
    : std::runtime_error(std::to_string(number) + ": " + description),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

Error::Error(int number, std::string source) : Error(number, std::move(source), classicDescription(number)) {}

std::string classicDescription(int number) {
    switch (number) {
        case 3: return "Return without GoSub";
        case kInvalidProcedureCall: return "Invalid procedure call or argument";
        case kOverflow: return "Overflow";
        case kOutOfMemory: return "Out of memory";
        case kSubscriptOutOfRange: return "Subscript out of range";
        case 11: return "Division by zero";
        case kTypeMismatch: return "Type mismatch";
        case kLoadingLibrary: return "Error in loading DLL";
        case 49: return "Bad DLL calling convention";
        case 51: return "Internal error";
        case kBadFileName: return "Bad file name or number";
        case kFileNotFound: return "File not found";
        case 54: return "Bad file mode";
        case kFileAlreadyOpen: return "File already open";
        case kDeviceIO: return "Device I/O error";
        case kFileAlreadyExists: return "File already exists";
        case kDiskFull: return "Disk full";
        case kInputPastEnd: return "Input past end of file";
        case kTooManyFiles: return "Too many files";
        case 68: return "Device unavailable";
        case kPermissionDenied: return "Permission denied";
        case 71: return "Disk not ready";
        case 74: return "Can't rename with different drive";
        case kPathFileAccess: return "Path/File access error";
        case kPathNotFound: return "Path not found";
        case 91: return "Object variable or With block variable not set";
        case kObjectDoesntSupport: return "Object doesn't support this property or method";
        case kEntryPointNotFound: return "Specified DLL function not found";
        default: return "Application-defined or object-defined error";
    }
}

std::string errorSource(std::string_view object) { return std::string(kLibrarySource) + "." + std::string(object); }

Error fileError(int errnum, std::string_view path, std::string source) {
    int number = kPathFileAccess;
    switch (errnum) {
        case ENOENT: {
            number = kFileNotFound;
            std::error_code ec;
            auto parent = std::filesystem::path(std::string(path)).parent_path();
            if (!parent.empty() && !std::filesystem::is_directory(parent, ec)) number = kPathNotFound;
            break;
        }
        case ENOTDIR: number = kPathNotFound; break;
        case EACCES:
        case EPERM: number = kPermissionDenied; break;
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
        case EFBIG: number = kDiskFull; break;
        case EMFILE:
        case ENFILE: number = kTooManyFiles; break;
        case EIO: number = kDeviceIO; break;
        case ENAMETOOLONG: number = kBadFileName; break;
        default: number = kPathFileAccess; break;
    }
    std::string description = classicDescription(number);
    if (!path.empty()) {
        description += " (";
        description += path;
        description += ": ";
        description += std::strerror(errnum);
        description += ")";
    }
    return Error(number, std::move(source), std::move(description));
}

void raise(int number, std::string source) { throw Error(number, std::move(source)); }

void raise(int number, std::string source, std::string description) {
    throw Error(number, std::move(source), std::move(description));
}

}  // namespace pw
