#pragma once

namespace plugin {

// Acquires the six suites through gBasicSuite, in their fixed order, by name
// and version; a suite the host refuses stays null. Nothing without a basic
// suite.
void acquireSuites() noexcept;

// Releases every suite that is not null, in the same order and with the same
// name and version, and nulls it. gBasicSuite keeps its value.
void releaseSuites() noexcept;

} // namespace plugin
