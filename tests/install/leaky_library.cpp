// A library that exports what the control library must not: the export
// check has to refuse it.
namespace pw::reg {
__attribute__((visibility("default"))) int openStore() { return 1; }
}  // namespace pw::reg
