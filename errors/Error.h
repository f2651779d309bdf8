// The one error type of the system: a number, a source and a description.
// Lower objects raise these; the control's operations catch them in their
// failure trap (FailureTrap.h) and show "number: description".
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/Export.h"

namespace pw {

// Classic run-time error numbers. The control's users know them by number.
enum ErrorNumber : int {
    kInvalidProcedureCall = 5,
    kOverflow = 6,
    kOutOfMemory = 7,
    kSubscriptOutOfRange = 9,
    kTypeMismatch = 13,
    kLoadingLibrary = 48,
    kBadFileName = 52,
    kFileNotFound = 53,
    kFileAlreadyOpen = 55,
    kFileAlreadyExists = 58,
    kDiskFull = 61,
    kInputPastEnd = 62,
    kPermissionDenied = 70,
    kPathFileAccess = 75,
    kPathNotFound = 76,
    kDeviceIO = 57,
    kTooManyFiles = 67,
    kObjectDoesntSupport = 438,
    kArgumentNotOptional = 449,
    kEntryPointNotFound = 453,
    kKeyNotUnique = 457,
    kInvalidPicture = 481,
    kElementNotFound = 35601,
};

// Where an error comes from, in one convention: the library's name for the
// control's own checks, "PackwellDEMO.<object>" for an error an object of
// the library raised ("PackwellDEMO.ModSpan", "PackwellDEMO.cRegistry").
inline constexpr const char* kLibrarySource = "PackwellDEMO";
PACKWELL_API std::string errorSource(std::string_view object);

class PACKWELL_API Error : public std::runtime_error {
public:
    Error(int number, std::string source, std::string description);
    // The classic description of a number ("Subscript out of range", ...).
    explicit Error(int number, std::string source = kLibrarySource);

    int number() const noexcept { return number_; }
    const std::string& source() const noexcept { return source_; }
    const std::string& description() const noexcept { return description_; }
    void setSource(std::string source) { source_ = std::move(source); }

private:
    int number_;
    std::string source_;
    std::string description_;
};

// The classic description of an error number; "Application-defined or
// object-defined error" for numbers without one.
PACKWELL_API std::string classicDescription(int number);

// Turns an errno value from a failed file operation on `path` into the
// classic error: ENOENT 53 (76 when the folder is missing too), ENOTDIR 76,
// EACCES/EPERM 70, ENOSPC/EDQUOT 61, anything else 75. The description
// names the path and the system's reason.
PACKWELL_API Error fileError(int errnum, std::string_view path, std::string source = kLibrarySource);

[[noreturn]] PACKWELL_API void raise(int number, std::string source = kLibrarySource);
[[noreturn]] PACKWELL_API void raise(int number, std::string source, std::string description);

}  // namespace pw
