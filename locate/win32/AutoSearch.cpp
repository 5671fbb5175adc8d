// The automatic search over fixed disks (placeholder until the search lands).
#include "locate/win32/LocateDialog.h"

Error Button1Click(LocateDialog&) { return {}; }
