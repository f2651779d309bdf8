// pw_zipdelete ARCHIVE NAME...: removes the named entries from ARCHIVE
// through cZip's Delete, reporting a failure as the control's operations do
// ("PackwellDEMO: number: description" on stderr, exit status 1). The
// packwell program has no delete command; the reliability tests run this
// one under injected faults and kill it mid-run.
#include <memory>
#include <string>

#include "platform/ConsolePlatform.h"
#include "platform/FailureTrap.h"
#include "platform/Platform.h"
#include "zip/cZip.h"

int main(int argc, char** argv) {
    pw::ConsolePlatform console;
    pw::ScopedPlatform use(console);
    if (argc < 3) {
        console.messageBox("usage: pw_zipdelete ARCHIVE NAME...", pw::MessageStyle::Plain, pw::kLibraryTitle);
        return 2;
    }
    bool ok = false;
    pw::trapFailures([&] {
        auto z = std::make_shared<cZip>();
        z->ZipFile(argv[1]);
        for (int i = 2; i < argc; ++i) z->AddFileSpec(argv[i]);
        z->Delete();
        if (!z->Succeeded()) throw z->RunError();
        ok = true;
    });
    return ok ? 0 : 1;
}
