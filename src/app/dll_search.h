#pragma once

namespace app {

// Keeps every later load of a DLL by bare name out of folders another user can write: the
// default search narrowed to system32 where the system can (else the current folder taken out
// of it), and the current folder itself moved to the system folder, which is all that 2000 and
// XP before SP1 allow. Called first, before anything that can load a DLL.
void NarrowDllSearch();

}  // namespace app
