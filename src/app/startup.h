#pragma once

namespace app {

// Initialises every module once, in the one order they depend on; called first by the entry
// point (static initialisers in several files would run in no fixed order).
void StartUp();

}  // namespace app
