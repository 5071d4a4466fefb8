// The resource id of the stub that the Windows tool carries (shared by the
// resource script and the code that loads it).
#pragma once

#define KESTRUM_STUB_RESOURCE 101
