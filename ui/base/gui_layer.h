// Included by every header of the GUI base: the layers below it (common, services) are built
// with SM_WINDOWLESS, so an include that reaches up into the GUI fails to build there.
#pragma once

#ifdef SM_WINDOWLESS
#error "The GUI base is not for a layer without windows"
#endif
