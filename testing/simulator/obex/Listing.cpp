// testing/simulator/obex/Listing.cpp - folder-listing XML.
#include "Listing.h"

namespace sim::obex {

std::string EscapeXml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string BuildFolderListing(const std::vector<Entry>& entries, bool withParent, bool escape) {
  std::string x =
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE folder-listing SYSTEM \"obex-folder-listing.dtd\">\n"
      "<folder-listing version=\"1.0\">\n";
  if (withParent) x += "<parent-folder/>\n";
  for (const Entry& e : entries) {
    x += e.folder ? "<folder name=\"" : "<file name=\"";
    x += escape ? EscapeXml(e.name) : e.name;
    x += "\"";
    if (!e.folder) x += " size=\"" + std::to_string(e.size) + "\"";
    // "modified" first: a reader may take it for all three times.
    x += " modified=\"" + FormatTimeText(e.modified) + "\"";
    x += " created=\"" + FormatTimeText(e.created) + "\"";
    x += " accessed=\"" + FormatTimeText(e.accessed) + "\"";
    x += " user-perm=\"" + e.user + "\"";
    if (!e.group.empty()) x += " group-perm=\"" + e.group + "\"";
    x += "/>\n";
  }
  x += "</folder-listing>\n";
  return x;
}

}  // namespace sim::obex
