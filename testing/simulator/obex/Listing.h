// testing/simulator/obex/Listing.h - the "x-obex/folder-listing" XML text.
#pragma once
#include <string>
#include <vector>

#include "FlashStore.h"

namespace sim::obex {

// The listing of one folder. Attributes per element in this order: name, size
// (files), modified, created, accessed, user-perm, group-perm (when not empty).
// escape: names with '&', '<', '>' and '"' as XML entity references.
std::string BuildFolderListing(const std::vector<Entry>& entries, bool withParent, bool escape);
std::string EscapeXml(const std::string& text);

}  // namespace sim::obex
