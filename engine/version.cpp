// Version numbers and the engine redistributable's gate are inline in the
// header; this unit only makes sure that the header compiles on its own.
#include "engine/version.h"
