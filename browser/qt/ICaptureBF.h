// The callbacks through which the folder-browser component talks to the
// window that hosts its tree. The component calls them in this order: it
// hands over its browse object, asks for the window to draw in, reports each
// selection change, and reports the end of a browse it ended itself.
#pragma once

#include <memory>
#include <string>

class QWidget;
class lumwFolderBrowse;

class ICaptureBF {
public:
    virtual ~ICaptureBF() = default;

    // The component's browse object; the host keeps it until it unloads.
    virtual void ICaptureBF_CaptureBrowseForFolder(std::shared_ptr<lumwFolderBrowse> browse) = 0;
    // The window the tree is drawn in (the host shows itself first); nullptr
    // ends the browse at once.
    virtual QWidget* ICaptureBF_CapturehWnd() = 0;
    // The user (or a "show this folder" request) selected a folder.
    virtual void ICaptureBF_SelectionChanged(const std::string& sPath) = 0;
    // The browse ended on the component's side; the host closes.
    virtual void ICaptureBF_Unload() = 0;
};
