// CFileDialog: the open/save chooser as a property-style object. Its fields
// mirror the chooser record; reading FileName shows the chooser. With
// multi-selection the read gives the list of full paths.
//
// One object per question: create, set, read FileName once, drop.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/Platform.h"

class CFileDialog {
public:
    // What FileName reads: "" (cancelled or failed), one path, or the list of
    // full paths of a multi-selection (in the chooser's order).
    using FileNameValue = std::variant<std::string, std::vector<std::string>>;

    // Default flag words of the two modes.
    static constexpr std::int32_t kOpenFlags = 530444;  // 0x8180C
    static constexpr std::int32_t kSaveFlags = 534542;  // 0x8280E

    pw::WindowHandle hwndOwner() const { return m_tOFN.hwndOwner; }
    void hwndOwner(pw::WindowHandle h) { m_tOFN.hwndOwner = h; }
    // "description|pattern|..."; after a run, the converted filter.
    std::string Mask() const { return m_tOFN.filter; }
    void Mask(const std::string& s) { m_tOFN.filter = s; }
    std::int16_t DefaultFilterIndex() const { return static_cast<std::int16_t>(m_tOFN.nFilterIndex); }
    void DefaultFilterIndex(std::int16_t i) { m_tOFN.nFilterIndex = static_cast<std::uint16_t>(i); }

    // Shows the chooser (see the class comment).
    FileNameValue FileName();
    // Only a text is taken; a list is ignored.
    void FileName(const FileNameValue& v);

    std::string FileTitle() const;
    std::string Path() const { return m_tOFN.initialDir; }
    void Path(const std::string& s) { m_tOFN.initialDir = s; }
    std::string Title() const { return m_tOFN.title; }
    void Title(const std::string& s) { m_tOFN.title = s; }
    std::string Extension() const { return m_tOFN.defExt; }
    void Extension(const std::string& s) { m_tOFN.defExt = s; }
    std::int32_t Flags() const { return static_cast<std::int32_t>(m_tOFN.flags); }
    void Flags(std::int32_t f) { m_tOFN.flags = static_cast<std::uint32_t>(f); }
    // 1 open, 2 save, anything else no chooser; writing also sets Flags to
    // the mode's default (0 for no mode).
    std::int32_t DialogMode() const { return m_lDialogMode; }
    void DialogMode(std::int32_t mode);
    std::int32_t FileOffset() const { return m_tOFN.nFileOffset; }
    std::int32_t ExtensionOffset() const { return m_tOFN.nFileExtension; }
    // The pattern the user typed as a custom filter.
    std::string CustomFilter() const;
    // The chooser's extended error after a run that did not succeed.
    std::int32_t LastError() const { return m_lLastError; }

    // The display name of a file: its name without folders.
    std::string GetFileTitle(const std::string& FileName) const;

    // The record as it stands (what the chooser gets and left).
    const pw::OpenFileName& Record() const { return m_tOFN; }

private:
    bool run();
    std::vector<std::string> multiSelection();

    pw::OpenFileName m_tOFN;
    std::int32_t m_lDialogMode = 0;
    std::int32_t m_lLastError = 0;
};
