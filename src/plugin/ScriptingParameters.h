#pragma once

// The filter's settings in the host's two stores: the record's parameters
// handle, which the repeat-filter command replays, and the scripting
// descriptor, which actions record and play back. The settings themselves
// are the server's opaque text; the plug-in only carries them, and gives a
// meaning to a few keys of its own (proxy::parameterKeys).
//
// All four work on gFilterRecord and the suites of the current call, and do
// nothing where the host lacks what they need.

#include "proxy/ParameterMap.h"

namespace plugin {

// Replaces `map` by the settings stored in the parameters handle, if there is
// one; the result always holds the server's text under 'SsPS' (empty when
// the handle did not hold it). boost::bad_any_cast when 'SsPS' is not text.
void LoadParametersHandle(proxy::ParameterMap& map);

// Reads the descriptor the host passed for this run. A descriptor with keys
// replaces `map` as a whole, after dropping the keys written for a new
// layer; one marked 'NLap' while the automatic pass's registry entry exists
// (or cannot be looked up) makes this run that pass and leaves `map` alone.
// Sets the progress range, the descriptor flags of the run and the
// state's autolayerRun, skipRender, reuseServerDocument and newLayerFlag.
void ReadScriptingDescriptor(proxy::ParameterMap& map);

// Hands the host a new descriptor of `map`, led by the new-layer keys (asked
// of the server) when the state's createNewLayer is set.
void WriteScriptingDescriptor(proxy::ParameterMap& map);

// Replaces the parameters handle by the encoded map; an empty map leaves no
// handle.
void StoreParametersHandle(const proxy::ParameterMap& map);

} // namespace plugin
