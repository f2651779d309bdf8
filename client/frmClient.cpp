#include "client/frmClient.h"

#include <QAction>
#include <QApplication>
#include <QFont>
#include <QGroupBox>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>

#include "client/SamplePaths.h"
#include "control/Dispatch.h"
#include "control/ctlPackwell.h"
#include "control/qt/ctlPackwellWidget.h"
#include "platform/FailureTrap.h"
#include "platform/Platform.h"
#include "platform/qt/QtSupport.h"

namespace {

constexpr const char* kCaption = "prjBRIXpackwell";

using pw::qt::twipRect;
using pw::qt::twips;

QPushButton* button(QWidget* parent, const char* caption, int left, int top, int width = 3015) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setGeometry(twipRect(left, top, width, 375));
    return b;
}

}  // namespace

frmClient::frmClient(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Test client for Brix Zip & Split OCX control"));

    mnuZipandSplit = menuBar()->addAction(QStringLiteral("ZIP and SPLIT"));
    mnuZipandSplit->setObjectName("mnuZipandSplit");
    mnu_join_and_unzip = menuBar()->addAction(QStringLiteral("JOIN and UNZIP"));
    mnu_join_and_unzip->setObjectName("mnu_join_and_unzip");

    auto* form = new QWidget(this);
    form->setFixedSize(twips(9480), twips(6945));

    setCentralWidget(form);

    QFont frameFont(QStringLiteral("Sans Serif"));
    frameFont.setPointSize(18);
    auto frame = [&](const char* name, const char* caption, QRect where) {
        auto* f = new QGroupBox(QString::fromUtf8(caption), form);
        f->setObjectName(name);
        f->setGeometry(where);
        f->setFont(frameFont);
        return f;
    };
    Frame1 = frame("Frame1", "ZIP", twipRect(600, 120, 3615, 4095));
    Frame2 = frame("Frame2", "UNZIP", twipRect(5040, 240, 3615, 2655));
    Frame3 = frame("Frame3", "SPLIT", twipRect(5040, 3000, 3615, 1695));
    Frame4 = frame("Frame4", "JOIN", twipRect(5040, 4800, 3615, 1695));

    // The window's default font is the desktop's, at the 8 points the layout
    // was drawn for (the captions fill the buttons at that size). Buttons
    // inside a frame keep it rather than the frame's: a font made from family
    // and size counts as set, so it is not inherited.
    const QFont plain(QApplication::font().family(), 8);
    form->setFont(plain);
    auto inFrame = [&](QGroupBox* f, const char* name, const char* caption, int left, int top) {
        auto* b = button(f, caption, left, top);
        b->setObjectName(name);
        b->setFont(plain);
        return b;
    };
    Command1 = inFrame(Frame1, "Command1", "ZIP FILES WITH DIALOG", 240, 480);
    Command2 = inFrame(Frame1, "Command2", "ZIP ONE FILE WITH NO DIALOG", 240, 1080);
    Command3 = inFrame(Frame1, "Command3", "ZIP ENTIRE FOLDER", 240, 1680);
    Command4 = inFrame(Frame1, "Command4", "ADD FILES TO ZIP WITH DIALOG", 240, 2280);
    Command5 = inFrame(Frame1, "Command5", "ADD FILE TO ZIP WITH NO DIALOG", 240, 2880);
    Command7 = inFrame(Frame2, "Command7", "CHOOSE ZIP TO LIST CONTENT", 240, 600);
    Command6 = inFrame(Frame2, "Command6", "LIST ZIP CONTENT DIRECTLY", 240, 1080);
    Command12 = inFrame(Frame2, "Command12", "UNZIP WITHOUT DIALOG", 240, 1560);
    Command8 = inFrame(Frame3, "Command8", "CHOOSE FILE TO SPLIT", 240, 480);
    Command9 = inFrame(Frame3, "Command9", "SPLIT FILE DIRECTLY", 240, 1080);
    Command11 = inFrame(Frame4, "Command11", "CHOOSE FILES TO JOIN", 240, 480);
    Command10 = inFrame(Frame4, "Command10", "JOIN FILES DIRECTLY", 240, 1080);
    Command13 = button(form, "CUSTOM LISTING:", 1560, 4560, 2775);
    Command13->setObjectName("Command13");

    List1 = new QListWidget(form);
    List1->setObjectName("List1");
    List1->setGeometry(twipRect(1560, 5040, 2895, 1620));

    // The control keeps its picture's size whatever the window gives it.
    ctlPackwell1 = new pw::qt::ctlPackwellWidget(form);
    ctlPackwell1->setObjectName("ctlPackwell1");
    ctlPackwell1->setGeometry(twipRect(120, 4680, 990, 930));

    // The listing, extraction and browser members pass their failures on to
    // the caller; one must not end the program from inside the event loop, so
    // it is shown ("number: description") and the window stays.
    auto guarded = [this](void (frmClient::*handler)()) {
        return [this, handler] {
            try {
                (this->*handler)();
            } catch (...) {
                pw::platform().messageBox(pw::failureText(pw::toError(std::current_exception())),
                                          pw::MessageStyle::Plain, kCaption);
            }
        };
    };
    auto wire = [this, guarded](QPushButton* b, void (frmClient::*handler)()) {
        connect(b, &QPushButton::clicked, this, guarded(handler));
    };
    wire(Command1, &frmClient::Command1_Click);
    wire(Command2, &frmClient::Command2_Click);
    wire(Command3, &frmClient::Command3_Click);
    wire(Command4, &frmClient::Command4_Click);
    wire(Command5, &frmClient::Command5_Click);
    wire(Command6, &frmClient::Command6_Click);
    wire(Command7, &frmClient::Command7_Click);
    wire(Command8, &frmClient::Command8_Click);
    wire(Command9, &frmClient::Command9_Click);
    wire(Command10, &frmClient::Command10_Click);
    wire(Command11, &frmClient::Command11_Click);
    wire(Command12, &frmClient::Command12_Click);
    wire(Command13, &frmClient::Command13_Click);
    connect(mnuZipandSplit, &QAction::triggered, this, guarded(&frmClient::mnuZipandSplit_Click));
    connect(mnu_join_and_unzip, &QAction::triggered, this, guarded(&frmClient::mnu_join_and_unzip_Click));
}

frmClient::~frmClient() = default;

ctlPackwell& frmClient::control() { return ctlPackwell1->control(); }

std::int32_t frmClient::hWnd() const { return static_cast<std::int32_t>(winId()); }

pw::Variant frmClient::call(std::int32_t dispId, std::vector<pw::Variant> args) {
    return pw::Invoke(control(), dispId, pw::DispatchKind::Method, args);
}

pw::Variant frmClient::get(std::int32_t dispId, std::vector<pw::Variant> args) {
    return pw::Invoke(control(), dispId, pw::DispatchKind::PropertyGet, args);
}

void frmClient::put(std::int32_t dispId, const std::string& value) {
    std::vector<pw::Variant> args{pw::Variant(value)};
    pw::Invoke(control(), dispId, pw::DispatchKind::PropertyPut, args);
}

void frmClient::confirm(const std::string& text) {
    pw::platform().messageBox(text, pw::MessageStyle::Plain, kCaption);
}

using namespace pw;
using namespace pw::samples;

void frmClient::Command1_Click() {
    if (call(DISPID_zipFiles_with_dialog, {sampleArchive(), hWnd(), false}).toBool())
        confirm(sampleArchive() + " successfully created.");
}

void frmClient::Command2_Click() {
    if (call(DISPID_zipONEfile, {oneFileToZip(), sampleArchive(), false}).toBool())
        confirm(sampleArchive() + " successfully created.");
}

void frmClient::Command3_Click() {
    if (call(DISPID_zipFolder, {sampleArchive(), sampleFolderToZip(), "*.*", true}).toBool())
        confirm(sampleArchive() + " successfully created.");
}

void frmClient::Command4_Click() {
    if (call(DISPID_addFilesToZip_with_dialog, {sampleArchive(), hWnd(), false}).toBool())
        confirm("Added successfully.");
}

void frmClient::Command5_Click() {
    if (call(DISPID_addFileToZip, {fileToAdd(), sampleArchive(), false}).toBool()) confirm("Added successfully.");
}

void frmClient::Command6_Click() {
    put(DISPID_formUnzipCaption, "Your caption" + sampleArchive());
    put(DISPID_formExtractCaption, "Your caption");
    put(DISPID_formOverwriteCaption, "overwrite");
    put(DISPID_formPasswordCaption, "Password needed for this zip file");
    put(DISPID_formUnzipIcon, sampleIcon());
    put(DISPID_formExtractIcon, sampleIcon());
    put(DISPID_formOverwriteIcon, sampleIcon());
    call(DISPID_ListZipContent, {sampleArchive()});
}

void frmClient::Command7_Click() {
    put(DISPID_formUnzipCaption, "Your caption");
    put(DISPID_formOverwriteCaption, "Overwrite ?");
    put(DISPID_formPasswordCaption, "Password");
    put(DISPID_formUnzipIcon, sampleIcon());
    put(DISPID_formOverwriteIcon, sampleIcon());
    put(DISPID_formPasswordIcon, sampleIcon());
    call(DISPID_ListZipContent);
}

void frmClient::Command8_Click() {
    if (call(DISPID_SPLITfile_with_dialog, {hWnd(), std::int32_t{kPieceSizeKiB}, joinFolder()}).toBool())
        confirm("Split successful.");
}

void frmClient::Command9_Click() {
    platform().setMousePointer(MousePointer::Wait);
    const bool split = call(DISPID_SPLITfile, {fileToSplit(), std::int32_t{kPieceSizeKiB}, joinFolder()}).toBool();
    platform().setMousePointer(MousePointer::Default);
    if (split) confirm("Split successful.");
}

void frmClient::Command10_Click() {
    const std::string joined = call(DISPID_JOINfiles, {firstPieceToJoin()}).toString();
    if (!joined.empty()) confirm(joined + " successfully joined.");
}

void frmClient::Command11_Click() {
    const std::string joined = call(DISPID_JOINfiles_with_dialog, {hWnd()}).toString();
    if (!joined.empty()) confirm(joined + " successfully joined.");
}

void frmClient::Command12_Click() {
    if (call(DISPID_UnzipDirectly, {sampleArchive(), extractFolder(), true}).toBool())
        confirm(sampleArchive() + " extracted successfully.");
}

void frmClient::Command13_Click() {
    call(DISPID_ListFilesFromZip, {listingArchive()});
    const std::int32_t n = get(DISPID_ListCount).toLong();
    for (std::int32_t i = 1; i <= n; ++i) {
        const std::string name = get(DISPID_getListFiles, {i}).toListing().FileName;
        const std::int32_t ratio = get(DISPID_getListFiles, {i}).toListing().FileCompressionRatio;
        List1->addItem(QString::fromStdString(name + " " + std::to_string(ratio) + " %"));
    }
}

void frmClient::mnuZipandSplit_Click() {
    Command1_Click();
    platform().setMousePointer(MousePointer::Wait);
    const bool split = call(DISPID_SPLITfile, {sampleArchive(), std::int32_t{kPieceSizeKiB}, splitFolder()}).toBool();
    platform().setMousePointer(MousePointer::Default);
    if (split) confirm("Split successful.");
}

void frmClient::mnu_join_and_unzip_Click() {
    Command11_Click();
    if (call(DISPID_UnzipDirectly, {joinedArchive(), extractFolder(), true}).toBool())
        confirm(joinedArchive() + " joined and extracted successfully.");
}
