// The sample data every button of the test client needs, made on demand so
// that the client works on a fresh machine (`packwell samples`).
#pragma once

#include <functional>
#include <string>

namespace pw::samples {

// Creates the sample files and folders under the program folder and the test
// root, zipping and splitting through `ctlPackwell` itself. Each step is
// reported through `say`. Returns false (after saying why) on the first
// failure.
bool createSampleData(const std::function<void(const std::string&)>& say);

// The bytes of a small 32x32 icon file (ICO, 32 bits per pixel).
std::string sampleIconBytes();

}  // namespace pw::samples
