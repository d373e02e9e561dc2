// testing/simulator/obex/Listing.cpp - folder-listing XML.
#include "Listing.h"

#include <algorithm>

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

bool ParseListingShape(const std::string& word, ListingShape& shape) {
  static const struct {
    const char* word;
    ListingShape shape;
  } kShapes[] = {{"whole", ListingShape::Whole}, {"cut", ListingShape::Cut}, {"quote", ListingShape::Quote},
                 {"open", ListingShape::Open},   {"nul", ListingShape::Nul}};
  for (const auto& s : kShapes) {
    if (word == s.word) {
      shape = s.shape;
      return true;
    }
  }
  return false;
}

void BreakListing(std::string& xml, ListingShape shape) {
  const std::string closing = "</folder-listing>";
  const size_t tail = xml.rfind(closing);
  switch (shape) {
    case ListingShape::Whole: break;
    case ListingShape::Cut: {
      // Inside the last element, or inside the closing tag of an empty folder.
      if (tail == std::string::npos) break;
      const size_t last = tail == 0 ? std::string::npos : xml.rfind('<', tail - 1);
      const bool entry = last != std::string::npos &&
                         (xml.compare(last, 6, "<file ") == 0 || xml.compare(last, 8, "<folder ") == 0);
      xml.resize(std::min(xml.size(), entry ? last + 10 : tail + 8));
      break;
    }
    case ListingShape::Quote: {
      const size_t name = xml.find("name=\"");
      const size_t quote = name == std::string::npos ? name : xml.find('"', name + 6);
      if (quote != std::string::npos) xml.erase(quote, 1);
      break;
    }
    case ListingShape::Open:
      if (tail != std::string::npos) xml.resize(tail);
      break;
    case ListingShape::Nul: {
      const size_t open = xml.find("<folder-listing");
      const size_t end = open == std::string::npos ? open : xml.find('>', open);
      if (end != std::string::npos) xml.insert(end + 1, 1, '\0');
      break;
    }
  }
}

}  // namespace sim::obex
