// The channel ports suite: offered, so that acquiring it works, with every
// slot unimplemented.

#include "host/HostCallbacks.h"

namespace host {

using namespace hostapi;

namespace {

template <typename... Args> SPErr unimplemented(Args... /*args*/) {
    return spUnimplementedError;
}

const ChannelPortsSuite kChannelPortsSuite = {
    unimplemented<PIChannelPort, int32*>,
    unimplemented<PIChannelPort, int32, int32*>,
    unimplemented<PIChannelPort, int32, VRect*>,
    unimplemented<PIChannelPort, int32, VRect*>,
    unimplemented<PIChannelPort, int32, VPoint*, VPoint*>,
    unimplemented<PIChannelPort, int32, const VRect*, int32*, VRect*>,
    unimplemented<PIChannelPort, int32, const VRect*, int32, VRect*>,
    unimplemented<PIChannelPort, Boolean*>,
    unimplemented<PIChannelPort, Boolean*>,
    unimplemented<PIChannelPort, int32, VRect*, const PixelMemoryDesc*>,
    unimplemented<PIChannelPort, VRect*, const PixelMemoryDesc*>,
    unimplemented<PIChannelPort, VRect*, const PSScaling*, const PixelMemoryDesc*>,
    unimplemented<PIChannelPort, const VRect*, const PSScaling*, int32, int32*, VRect*, VRect*>,
    unimplemented<PIChannelPort*, const VRect*, int32, Boolean>,
    unimplemented<PIChannelPort*>,
    unimplemented<const char*, Boolean*>,
    unimplemented<const char*, PIChannelPort, PIChannelPort, PIChannelPort, void*, VRect*>,
    unimplemented<const char*, ChannelPortsSuite::OperationProc, void*>,
    unimplemented<const char*, void**>,
    unimplemented<PIChannelPort*, PIChannelPort, VRect*, Boolean>,
    unimplemented<PIChannelPort>,
    unimplemented<PIChannelPort, VRect*>};

} // namespace

const ChannelPortsSuite& channelPortsSuite() {
    return kChannelPortsSuite;
}

} // namespace host
