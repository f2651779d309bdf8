// CFileDialog reading back what a chooser left in its record: a scripted
// chooser fills the file buffer with the fuzz bytes (up to the buffer's
// size, NUL padded as a real chooser leaves it) and sets the name and
// extension offsets from the first bytes. Input: offset (2 bytes), extension
// offset (2 bytes), a mode byte, then the buffer.
#include "dialogs/CFileDialog.h"
#include "support/ScriptedPlatform.h"

#include <cstdlib>
#include <cstring>

namespace {

class BufferChooser : public pw::ScriptedPlatform {
public:
    std::string buffer;
    std::uint16_t fileOffset = 0, extensionOffset = 0;
    int result = 1;

    int getOpenFileName(pw::OpenFileName& ofn) override { return fill(ofn); }
    int getSaveFileName(pw::OpenFileName& ofn) override { return fill(ofn); }

private:
    int fill(pw::OpenFileName& ofn) {
        std::string b = buffer.substr(0, ofn.nMaxFile);
        b.resize(ofn.nMaxFile, '\0');
        ofn.file = b;
        ofn.nFileOffset = fileOffset;
        ofn.nFileExtension = extensionOffset;
        return result;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    BufferChooser chooser;
    chooser.fileOffset = static_cast<std::uint16_t>(data[0] | data[1] << 8);
    chooser.extensionOffset = static_cast<std::uint16_t>(data[2] | data[3] << 8);
    const std::uint8_t mode = data[4];
    chooser.buffer.assign(reinterpret_cast<const char*>(data + 5), size - 5);
    pw::ScopedPlatform scope(chooser);

    CFileDialog d;
    d.DialogMode(mode & 1 ? 2 : 1);
    std::uint32_t flags = static_cast<std::uint32_t>(d.Flags());
    if (mode & 2) flags |= pw::OFN_ALLOWMULTISELECT;
    if (mode & 4) flags &= ~static_cast<std::uint32_t>(pw::OFN_EXPLORER);
    d.Flags(static_cast<std::int32_t>(flags));
    if (mode & 8) d.Mask("Archives (*.zip)|*.zip|All|*.*");
    CFileDialog::FileNameValue v = d.FileName();
    if (const auto* list = std::get_if<std::vector<std::string>>(&v)) {
        if (list->empty()) std::abort();
        for (const std::string& p : *list)
            if (p.find('\0') != std::string::npos) std::abort();
    } else {
        const std::string& one = std::get<std::string>(v);
        if (!(flags & pw::OFN_ALLOWMULTISELECT) && one.find('\0') != std::string::npos) std::abort();
    }
    (void)d.FileTitle();
    (void)d.Extension();
    (void)d.Path();
    (void)d.CustomFilter();
    (void)d.GetFileTitle(chooser.buffer);
    return 0;
}
