#include <string>
#include <vector>

#include "platform/ConsolePlatform.h"
#include "platform/Text.h"

namespace pw {

namespace {
std::string padded(const std::string& text, std::uint32_t chars) {
    std::string out = text;
    std::size_t have = charCount(text);
    if (have < chars) out.append(chars - have, '\0');
    return out;
}
}  // namespace

void fillChooserResult(OpenFileName& ofn, const std::vector<std::string>& paths, int filterIndex) {
    ofn.nFilterIndex = static_cast<std::uint32_t>(filterIndex);
    if (paths.size() == 1) {
        const std::string& path = paths.front();
        std::size_t slash = path.rfind('/');
        std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        std::size_t nameStart = slash == std::string::npos ? 0 : charCount(path.substr(0, slash + 1));
        std::size_t dot = name.rfind('.');
        ofn.nFileOffset = static_cast<std::uint16_t>(nameStart);
        ofn.nFileExtension =
            dot == std::string::npos ? 0 : static_cast<std::uint16_t>(nameStart + charCount(name.substr(0, dot + 1)));
        ofn.file = padded(path, ofn.nMaxFile);
        if (ofn.nMaxFileTitle > 0) ofn.fileTitle = padded(name, ofn.nMaxFileTitle);
        return;
    }
    // Several files of one folder: the folder, NUL, each name, NUL, then NUL.
    const std::string& first = paths.front();
    std::size_t slash = first.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : first.substr(0, slash == 0 ? 1 : slash);
    std::string buffer = folder;
    buffer += '\0';
    for (const auto& p : paths) {
        std::size_t s = p.rfind('/');
        buffer += s == std::string::npos ? p : p.substr(s + 1);
        buffer += '\0';
    }
    ofn.nFileOffset = static_cast<std::uint16_t>(charCount(folder) + 1);
    ofn.nFileExtension = 0;
    ofn.file = padded(buffer, ofn.nMaxFile);
    if (ofn.nMaxFileTitle > 0) ofn.fileTitle = std::string(ofn.nMaxFileTitle, '\0');
}

}  // namespace pw
