// The split and join engine: cuts a file into numbered pieces base.001,
// base.002, ... of a fixed size and joins such a set back.
//
// The first piece starts with an 8-byte header: the source's last three
// characters (its extension), two blanks, and the piece count as three
// digits. No other byte is added to the source's data.
//
// Failures that are not input problems with a message of their own (files
// that cannot be opened, read or written, bad arguments, a bad header) are
// raised as pw::Error to the caller.
#pragma once

#include <cstdint>
#include <string>

namespace ModSpan {

// Result codes of SpanFile besides the piece count.
inline constexpr std::int32_t kNothingSplit = 0;
inline constexpr std::int32_t kSizeCheckFailed = 9999;

// Splits `Path_Filename_To_Span` into pieces of `chunkSize` x 1,024 bytes
// (chunkSize 1 to 2,097,151) in `destination` (a "/" is appended to the
// caller's variable when it lacks one), or next to the source when
// `destination` is "". Returns the piece count, 0 when the source is empty or
// smaller than one piece, 9999 when the written set failed its size check.
// Lets the host process its pending events once per piece and reports each
// finished piece as progress.
std::int32_t SpanFile(const std::string& Path_Filename_To_Span, std::int32_t chunkSize, std::string& destination);

// Joins the set whose first piece is `Path_Filename_To_Join` into the pieces'
// folder and returns the joined file's name without folder ("" when a piece
// is missing). The joined file only appears under its name once complete.
std::string JoinSpan(const std::string& Path_Filename_To_Join);

// The name part (wantName) or the folder part with its trailing "/" of
// `path`, split at the last "/". Without a "/": the whole path, or "".
std::string PathPart(const std::string& path, bool wantName);

// ".001" to ".999" for pieces 1 to 999, then the plain digits (".1000").
std::string PieceSuffix(std::int64_t k);

}  // namespace ModSpan
