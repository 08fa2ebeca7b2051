#pragma once

#include "sessions/output/format.h"
#include "sessions/output/writer.h"

// A listing as data: its lines in order, each with what it is. Reading the devices and their
// sessions adds them; the same listing is written to a file or a pipe, or fitted to a console
// window.
enum LineKind {
    kHeadingLine, // a device, what Hushvane makes of it, column headings, what cannot be read
    kSessionLine, // a session's row
    kVerdictLine, // what the listing says of the target, and the lines of --unmute-all
};

struct ListingLine {
    LineKind kind;
    const wchar_t* text; // in the listing's own text, without a line feed
    int length;
};

constexpr int kMaxListingLines = 4096;
constexpr int kListingChars = 1 << 19;
constexpr int kEverySession = kMaxListingLines;

// The session rows it still keeps (the others are only counted), the session rows counted but
// not kept (also when the listing is full), the other lines it had no room for; its lines, and
// the characters of its text.
struct Listing {
    int sessionRoom, sessionsLeftOut, linesLeftOut, count, length;
    ListingLine lines[kMaxListingLines];
    wchar_t text[kListingChars];
};

// Empties the listing, which keeps no more than sessionRoom session rows from now on.
void StartListing(Listing* listing, int sessionRoom);

// Adds a formatted line of the kind.
void AddLine(Listing* listing, LineKind kind, const char* format, ...);

// Appends the listing to what the writer holds, each line ending in a line feed, and says how
// many lines it could not hold.
void WriteListing(Writer* writer, const Listing& listing);
