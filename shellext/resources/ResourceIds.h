// resources/ResourceIds.h - resource ids of the extension, one header per area.
#pragma once
#include "EntryIds.h"
#include "ViewIds.h"
#include "ItemsIds.h"
