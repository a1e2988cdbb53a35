// The library-wide state: it lives from load to unload and survives between calls of DoUpdate.
//
// It holds the host's stored arguments, the local draw state of the sixteen games and the two
// workflow items the dialogs share (ExecuteGuard and EnteredCount). The library keeps one
// instance, released when the library is unloaded (the stored strings drop their references);
// tests make their own. Unguarded: the host calls DoUpdate from one thread, never re-entrantly.
#pragma once

#include <cstdint>

#include "plugin/game_catalogue.h"
#include "plugin/stored_string.h"

namespace veltra::plugin {

class Tfmsqlall;

struct PluginState {
  // Host arguments 2 to 9 as the last DoUpdate stored them; only the database directory is read.
  int32_t argument2 = 0;
  int32_t argument3 = 0;
  StoredHostString argument4;
  StoredHostString argument5;
  StoredHostString argument6;
  uint8_t argument7 = 0;  // the low byte of the slot
  StoredHostString database_directory;
  StoredHostString argument9;

  // The dialog of the running DoUpdate call; null between calls.
  Tfmsqlall* dialog = nullptr;

  LocalDrawState draws;

  // While true, "Wykonaj" does nothing.
  bool ExecuteGuard = true;
  // The rows affected by the last script execution.
  int32_t EnteredCount = 0;
};

// The library's own instance.
PluginState& LibraryState();

}  // namespace veltra::plugin
