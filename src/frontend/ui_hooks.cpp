#include "frontend/ui_hooks.h"

UiHooks uiHooks;
