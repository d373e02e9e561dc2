// namespace/ViewStatus.cpp - status bar texts of the view.
#include "ViewStatus.h"
#include "DisplayText.h"
#include "ModuleItemID.h"
#include "ResourceIds.h"
#include "ResourceModule.h"

namespace {

ULONGLONG SumFileSizes(const LPCITEMIDLIST* items, int count) {
  ULONGLONG sum = 0;
  for (int i = 0; i < count; ++i) {
    LPCITEMIDLIST item = items[i];
    if (!item || IsFolderItem(item) || IsDriveRootItem(item)) continue;
    sum += GetItemSize(item);
  }
  return sum;
}

}  // namespace

StatusTexts MakeStatusTexts(const CResourceModule& texts, const LPCITEMIDLIST* entries, int entryCount,
                            const LPCITEMIDLIST* selected, int selectedCount) {
  StatusTexts out;
  if (selectedCount <= 0) {
    out.count = texts.FormatResMessage(IDS_VIEW_OBJECTS, entryCount);
    out.size = FormatByteSize(SumFileSizes(entries, entryCount), &texts);
    return out;
  }
  out.count = texts.FormatResMessage(IDS_VIEW_OBJECTS_SELECTED, selectedCount);
  ULONGLONG sum = SumFileSizes(selected, selectedCount);
  if (sum >= 1) out.size = FormatByteSize(sum, &texts);
  return out;
}

CBstr WidestStatusCountText(const CResourceModule& texts) {
  return texts.FormatResMessage(IDS_VIEW_OBJECTS_SELECTED, 1000000000);
}
