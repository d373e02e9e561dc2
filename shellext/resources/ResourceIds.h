// resources/ResourceIds.h - resource ids of the extension, one header per area.
#pragma once
#include "EntryIds.h"
#include "SearchIds.h"
#include "ViewIds.h"
#include "NamespaceIds.h"
#include "ItemsIds.h"
#include "TransfersIds.h"
#include "FormatIds.h"
#include "PropertiesIds.h"
#include "DataObjectIds.h"
#include "PasteIds.h"
