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

// Ways a listing comes out broken (for tests of the reader): cut inside its
// last element, the first name's closing quote left out, no closing tag, a
// NUL byte after the opening tag.
enum class ListingShape { Whole, Cut, Quote, Open, Nul };
bool ParseListingShape(const std::string& word, ListingShape& shape);
void BreakListing(std::string& xml, ListingShape shape);
std::string EscapeXml(const std::string& text);

}  // namespace sim::obex
