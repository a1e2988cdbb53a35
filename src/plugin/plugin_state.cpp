#include "plugin/plugin_state.h"

namespace veltra::plugin {

PluginState& LibraryState() {
  // Made at first use and destroyed when the library is unloaded, which drops the stored
  // strings' references.
  static PluginState state;
  return state;
}

}  // namespace veltra::plugin
