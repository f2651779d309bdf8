#include "platform/Error.h"

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
        case 5: return "Invalid procedure call or argument";
        case 6: return "Overflow";
        case 7: return "Out of memory";
        case 9: return "Subscript out of range";
        case 11: return "Division by zero";
        case 13: return "Type mismatch";
        case 48: return "Error in loading DLL";
        case 49: return "Bad DLL calling convention";
        case 51: return "Internal error";
        case 52: return "Bad file name or number";
        case 53: return "File not found";
        case 54: return "Bad file mode";
        case 55: return "File already open";
        case 57: return "Device I/O error";
        case 58: return "File already exists";
        case 61: return "Disk full";
        case 62: return "Input past end of file";
        case 67: return "Too many files";
        case 68: return "Device unavailable";
        case 70: return "Permission denied";
        case 71: return "Disk not ready";
        case 74: return "Can't rename with different drive";
        case 75: return "Path/File access error";
        case 76: return "Path not found";
        case 91: return "Object variable or With block variable not set";
        case 438: return "Object doesn't support this property or method";
        case 453: return "Specified DLL function not found";
        default: return "Application-defined or object-defined error";
    }
}

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
        case ENFILE: number = 67; break;
        case EIO: number = 57; break;
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
