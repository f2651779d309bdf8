#include "control/Dispatch.h"

#include <functional>
#include <map>

#include "control/ctlPackwell.h"
#include "errors/Error.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace pw {

namespace {

// Argument access with the automation rules: a missing optional argument is
// "" or False; a missing required one raises 449.
struct Args {
    std::vector<Variant>& v;
    Variant& at(std::size_t i) {
        if (i >= v.size()) raise(kArgumentNotOptional, kLibrarySource, "Argument not optional");
        return v[i];
    }
    std::string str(std::size_t i) { return at(i).toString(); }
    std::int32_t lng(std::size_t i) { return at(i).toLong(); }
    bool boolean(std::size_t i) { return at(i).toBool(); }
    std::string optStr(std::size_t i) { return i < v.size() ? v[i].toString() : std::string(); }
    bool optBool(std::size_t i) { return i < v.size() ? v[i].toBool() : false; }
};

using Getter = std::string (ctlPackwell::*)() const;
using Setter = void (ctlPackwell::*)(const std::string&);

struct Property {
    Getter get;
    Setter set;
};

const std::map<std::int32_t, Property>& properties() {
    static const std::map<std::int32_t, Property> table = {
        {DISPID_formUnzipCaption, {&ctlPackwell::formUnzipCaption, &ctlPackwell::formUnzipCaption}},
        {DISPID_formUnzipIcon, {&ctlPackwell::formUnzipIcon, &ctlPackwell::formUnzipIcon}},
        {DISPID_formExtractCaption, {&ctlPackwell::formExtractCaption, &ctlPackwell::formExtractCaption}},
        {DISPID_formExtractIcon, {&ctlPackwell::formExtractIcon, &ctlPackwell::formExtractIcon}},
        {DISPID_formOverwriteIcon, {&ctlPackwell::formOverwriteIcon, &ctlPackwell::formOverwriteIcon}},
        {DISPID_formOverwriteCaption, {&ctlPackwell::formOverwriteCaption, &ctlPackwell::formOverwriteCaption}},
        {DISPID_formPasswordIcon, {&ctlPackwell::formPasswordIcon, &ctlPackwell::formPasswordIcon}},
        {DISPID_formPasswordCaption, {&ctlPackwell::formPasswordCaption, &ctlPackwell::formPasswordCaption}},
    };
    return table;
}

using Method = std::function<Variant(ctlPackwell&, Args&)>;

const std::map<std::int32_t, Method>& methods() {
    static const std::map<std::int32_t, Method> table = {
        {DISPID_zipONEfile,
         [](ctlPackwell& c, Args& a) { return Variant(c.zipONEfile(a.str(0), a.str(1), a.boolean(2))); }},
        {DISPID_zipFolder,
         [](ctlPackwell& c, Args& a) {
             return Variant(c.zipFolder(a.str(0), a.str(1), a.str(2), a.boolean(3)));
         }},
        {DISPID_addFilesToZip_with_dialog,
         [](ctlPackwell& c, Args& a) {
             return Variant(c.addFilesToZip_with_dialog(a.str(0), a.lng(1), a.boolean(2)));
         }},
        {DISPID_addFileToZip,
         [](ctlPackwell& c, Args& a) { return Variant(c.addFileToZip(a.str(0), a.str(1), a.boolean(2))); }},
        {DISPID_zipFiles_with_dialog,
         [](ctlPackwell& c, Args& a) {
             return Variant(c.zipFiles_with_dialog(a.str(0), a.lng(1), a.boolean(2)));
         }},
        {DISPID_ListZipContent,
         [](ctlPackwell& c, Args& a) {
             c.ListZipContent(a.optStr(0));
             return Variant();
         }},
        {DISPID_SPLITfile_with_dialog,
         [](ctlPackwell& c, Args& a) {
             std::string destination = a.optStr(2);
             bool r = c.SPLITfile_with_dialog(a.lng(0), a.lng(1), destination);
             if (a.v.size() > 2) a.v[2] = Variant(destination);  // by reference
             return Variant(r);
         }},
        {DISPID_SPLITfile,
         [](ctlPackwell& c, Args& a) {
             std::string destination = a.optStr(2);
             bool r = c.SPLITfile(a.str(0), a.lng(1), destination);
             if (a.v.size() > 2) a.v[2] = Variant(destination);  // by reference
             return Variant(r);
         }},
        {DISPID_JOINfiles_with_dialog,
         [](ctlPackwell& c, Args& a) { return Variant(c.JOINfiles_with_dialog(a.lng(0))); }},
        {DISPID_JOINfiles, [](ctlPackwell& c, Args& a) { return Variant(c.JOINfiles(a.str(0))); }},
        {DISPID_UnzipDirectly,
         [](ctlPackwell& c, Args& a) { return Variant(c.UnzipDirectly(a.str(0), a.str(1), a.optBool(2))); }},
        {DISPID_ListFilesFromZip, [](ctlPackwell& c, Args& a) { return Variant(c.ListFilesFromZip(a.str(0))); }},
        {DISPID_getListFiles, [](ctlPackwell& c, Args& a) { return Variant(c.getListFiles(a.lng(0))); }},
        {DISPID_ListCount, [](ctlPackwell& c, Args&) { return Variant(c.ListCount()); }},
    };
    return table;
}

const std::map<std::string, std::int32_t>& names() {
    static const std::map<std::string, std::int32_t> table = {
        {"ZIPONEFILE", DISPID_zipONEfile},
        {"ZIPFOLDER", DISPID_zipFolder},
        {"ADDFILESTOZIP_WITH_DIALOG", DISPID_addFilesToZip_with_dialog},
        {"ADDFILETOZIP", DISPID_addFileToZip},
        {"LISTZIPCONTENT", DISPID_ListZipContent},
        {"SPLITFILE_WITH_DIALOG", DISPID_SPLITfile_with_dialog},
        {"SPLITFILE", DISPID_SPLITfile},
        {"JOINFILES_WITH_DIALOG", DISPID_JOINfiles_with_dialog},
        {"JOINFILES", DISPID_JOINfiles},
        {"UNZIPDIRECTLY", DISPID_UnzipDirectly},
        {"LISTFILESFROMZIP", DISPID_ListFilesFromZip},
        {"ZIPFILES_WITH_DIALOG", DISPID_zipFiles_with_dialog},
        {"LISTCOUNT", DISPID_ListCount},
        {"GETLISTFILES", DISPID_getListFiles},
        {"FORMPASSWORDCAPTION", DISPID_formPasswordCaption},
        {"FORMPASSWORDICON", DISPID_formPasswordIcon},
        {"FORMOVERWRITECAPTION", DISPID_formOverwriteCaption},
        {"FORMOVERWRITEICON", DISPID_formOverwriteIcon},
        {"FORMEXTRACTICON", DISPID_formExtractIcon},
        {"FORMEXTRACTCAPTION", DISPID_formExtractCaption},
        {"FORMUNZIPICON", DISPID_formUnzipIcon},
        {"FORMUNZIPCAPTION", DISPID_formUnzipCaption},
    };
    return table;
}

[[noreturn]] void unknownMember() { raise(kObjectDoesntSupport); }

}  // namespace

Variant Invoke(ctlPackwell& control, std::int32_t dispId, DispatchKind kind, std::vector<Variant>& args) {
    Args a{args};
    if (auto p = properties().find(dispId); p != properties().end()) {
        if (kind == DispatchKind::PropertyPut) {
            (control.*(p->second.set))(a.str(0));
            return Variant();
        }
        return Variant((control.*(p->second.get))());
    }
    if (kind == DispatchKind::PropertyPut) unknownMember();
    // ListCount and getListFiles are read-only properties; the rest methods.
    bool isReadProperty = dispId == DISPID_ListCount || dispId == DISPID_getListFiles;
    if (isReadProperty != (kind == DispatchKind::PropertyGet) && kind != DispatchKind::Method) unknownMember();
    auto m = methods().find(dispId);
    if (m == methods().end()) unknownMember();
    return m->second(control, a);
}

std::int32_t GetIDOfName(const std::string& name) {
    auto it = names().find(toUpper(name));
    return it == names().end() ? -1 : it->second;
}

}  // namespace pw
