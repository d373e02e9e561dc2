// namespace/ViewStatus.h - the two texts the view writes into Explorer's
// status bar: the object count and the size of what it counts.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include "SuiteString.h"

class CResourceModule;

struct StatusTexts {
  CBstr count;
  CBstr size;
};

// Nothing selected: every entry counts (also those the settings keep out of
// the list) and the size text is always given. Otherwise the selected rows
// count and the size text is left empty when their files sum to 0. Folders
// and drive roots add no size; sums are 64-bit.
StatusTexts MakeStatusTexts(const CResourceModule& texts, const LPCITEMIDLIST* entries, int entryCount,
                            const LPCITEMIDLIST* selected, int selectedCount);

// The widest count text the first part must hold.
CBstr WidestStatusCountText(const CResourceModule& texts);
