#include "plugin/SelectorSteps.h"

#include "platform/SystemVersion.h"
#include "plugin/ErrorMessage.h"
#include "plugin/Texts.h"
#include "proxy/FilterGlobals.h"
#include "proxy/ProcessGlobals.h"

#include <algorithm>

namespace plugin {

hostapi::int16 Parameters() {
    return 0;
}

hostapi::int16 Prepare() {
    if (!platform::systemVersionAtLeast(5, 0, 0)) {
        ShowErrorMessage(texts::errorTitle, texts::incompatibleSystem,
                         gFilterGlobals->hostWindow());
        return 1;
    }
    gFilterRecord->maxSpace = std::min(gFilterRecord->maxSpace, kMaxSpaceLimit);
    return 0;
}

} // namespace plugin
