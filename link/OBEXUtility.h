// link/OBEXUtility.h - the module's folder-listing XML, permission texts, times, path rule.
#pragma once
#include <windows.h>

#include "FolderEntry.h"

// Results of ParseFolderListing.
enum ListingParseResult : int {
  kListingOutOfMemory = 0,
  kListingParsed = 1,      // also for a listing holding only a parent folder
  kListingNoEntries = 2,
  kListingEmptyText = 3,
  kListingNotAListing = 4, // no folder-listing element at all
  kListingMalformed = 5,   // broken inside the listing: cut, unclosed, a NUL byte
};

// Parses a NUL-terminated UTF-8 listing into a CoTaskMem chain (free it with
// FreeEntryList). With *first set (or first null) the chain starts at *head
// and *first is cleared once an entry is made; otherwise new entries are
// appended to the chain already at *head. On out of memory the entries made so
// far stay linked, and so they do when the listing is malformed: a listing
// that ends before its closing tag, a file or folder element whose attributes
// do not parse, or an attribute value holding a '<' (a quote left open) gives
// no shorter listing but kListingMalformed. Names of 128 units or more and
// unknown elements are skipped.
int ParseFolderListing(FolderEntry** head, const char* text, BOOL* first);
// The same over length bytes; a NUL byte among them ends the text there.
int ParseFolderListing(FolderEntry** head, const char* text, size_t length, BOOL* first);

// Values are the texts between an attribute's quotes.
// "RWD" subset in that order; false for anything else. Missing R sets hidden,
// missing W read-only, missing D system.
bool ParsePermissionsUser(const char* value, size_t length, DWORD* attributes);
// "RW" subset in that order: R sets archive; W marks a folder and so counts
// only for folder elements.
bool ParsePermissionsGroup(const char* value, size_t length, bool isFolder, DWORD* attributes);
// "YYYYMMDDTHHMMSS" (anything after 15 characters ignored) as a local DATE.
bool ParseObexTime(const char* value, size_t length, DATE* date);

// The permission text SetAttributes sends: "RWD""RW" from the attribute bits,
// or "RWD" for FILE_ATTRIBUTE_NORMAL. text needs room for 10 characters.
void FormatPermissions(DWORD attributes, char text[16]);

// A module path the OBEX requests can carry: not null, no '/', and short
// enough (the whole text, trailing '\' and '*' included) for 128-unit buffers.
bool IsValidObexPath(const wchar_t* path);
