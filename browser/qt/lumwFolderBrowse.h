// The folder-browser component: a tree of the file system's folders that
// draws itself inside a window of its host and reports to the host through
// ICaptureBF. The host's dialog supplies everything around the tree.
//
// Use: create a browse object, fill its settings, run BrowseForFolderCaptured
// with the host; the run returns once the browse has ended (the host called
// EndCapture, or the component ended it itself and reported ICaptureBF_Unload).
#pragma once

#include <QFileSystemModel>
#include <QPointer>
#include <QTreeView>
#include <memory>
#include <string>

#include "browser/qt/ICaptureBF.h"

class QEventLoop;
class QObject;
class QWidget;
class lumwFolderBrowse;

// The settings of one browse. Setting SelectedFolder while the browse runs
// shows that folder in the tree and selects it.
class lumwBrowseSettings {
public:
    // The window the browse belongs to (nullptr: none).
    QWidget* hWndOwner() const { return m_hWndOwner; }
    void hWndOwner(QWidget* w) { m_hWndOwner = w; }
    // The folder the tree opens at (shown, not selected); "" or a missing
    // folder: the top of the tree.
    std::string InitialFolder() const { return m_sInitialFolder; }
    void InitialFolder(const std::string& s) { m_sInitialFolder = s; }
    // True: the tree holds folders only; False: files are listed too (but
    // only folders can be chosen).
    bool FoldersOnly() const { return m_bFoldersOnly; }
    void FoldersOnly(bool b);
    // The top of the tree; "" is the whole file system ("/").
    std::string RootFolder() const { return m_sRootFolder; }
    void RootFolder(const std::string& s) { m_sRootFolder = s; }
    // The folder last shown and selected on request; one set before the
    // browse runs is selected when the tree appears.
    std::string SelectedFolder() const { return m_sSelectedFolder; }
    void SelectedFolder(const std::string& s);

private:
    friend class lumwFolderBrowse;
    explicit lumwBrowseSettings(lumwFolderBrowse* owner) : m_owner(owner) {}
    lumwFolderBrowse* m_owner;
    QWidget* m_hWndOwner = nullptr;
    std::string m_sInitialFolder;
    bool m_bFoldersOnly = false;
    std::string m_sRootFolder;
    std::string m_sSelectedFolder;
};

class lumwFolderBrowse : public std::enable_shared_from_this<lumwFolderBrowse> {
public:
    static std::shared_ptr<lumwFolderBrowse> create();
    ~lumwFolderBrowse();
    lumwFolderBrowse(const lumwFolderBrowse&) = delete;
    lumwFolderBrowse& operator=(const lumwFolderBrowse&) = delete;

    lumwBrowseSettings& Settings() { return m_settings; }

    // Runs a browse drawn inside `host`'s window. Returns when the browse has
    // ended; `host` is left as it was for the caller to take back.
    void BrowseForFolderCaptured(std::shared_ptr<ICaptureBF>& host);

    // A folder was made at `sPath`: the tree shows it and selects it.
    void FolderCreated(const std::string& sPath);

    // Ends the browse from the host's side (no ICaptureBF_Unload is reported).
    void EndCapture();

    bool Browsing() const { return m_bBrowsing; }
    // The tree while a browse runs (nullptr otherwise).
    QTreeView* Tree() const { return m_tree; }

private:
    friend class lumwBrowseSettings;
    lumwFolderBrowse();
    void applyFilter();
    // Shows `path` in the tree; with `select` also selects it (which reports it).
    bool showFolder(const std::string& path, bool select);
    void finish(bool reportUnload);

    lumwBrowseSettings m_settings{this};
    ICaptureBF* m_host = nullptr;  // only while browsing; the caller keeps it alive
    bool m_bBrowsing = false;
    bool m_bEnded = false;
    std::unique_ptr<QObject> m_context;  // owns the connections of one browse
    std::unique_ptr<QEventLoop> m_loop;
    QPointer<QTreeView> m_tree;
    QPointer<QFileSystemModel> m_model;
    QString m_sPendingScroll;  // a folder to keep in view while its parents load
};
