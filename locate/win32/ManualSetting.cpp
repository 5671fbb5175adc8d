// The manual choice of the install folder (placeholder until it lands).
#include "locate/win32/LocateDialog.h"

Error Button2Click(LocateDialog&) { return {}; }
