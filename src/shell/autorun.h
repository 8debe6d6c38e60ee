#pragma once

namespace global {

// Deletes the guard's value "Dravelin Tidewell 6 Guard" from the machine-wide Run key (the
// 64-bit view on 64-bit Windows) and nothing else; false when there was none to delete.
bool RemoveGuardAutorun();

}  // namespace global
