#pragma once

namespace tormel {

class HostState;

// Makes `state` the host behind the functions this program exports for the plug-in
// (tmLogText, tmGetStringParameter, ...). Not owned; must stay alive while the plug-in can
// call. Before installation (or after installing null) the functions do nothing, return 0 and
// leave buffers alone.
void installHost(HostState* state);

}  // namespace tormel
