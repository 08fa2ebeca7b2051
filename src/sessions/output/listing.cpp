#include "sessions/output/listing.h"

#include "sessions/output/texts.h"

namespace {

// What the lines after the sessions always find room for, however many sessions a listing has.
constexpr int kLinesAfterSessions = 256;
constexpr int kCharsAfterSessions = 1 << 16;

} // namespace

void StartListing(Listing* listing, int sessionRoom) {
    listing->sessionRoom = sessionRoom;
    listing->sessionsLeftOut = listing->linesLeftOut = listing->count = listing->length = 0;
}

void AddLine(Listing* listing, LineKind kind, const char* format, ...) {
    const bool session = kind == kSessionLine;
    const int lines = kMaxListingLines - (session ? kLinesAfterSessions : 0);
    const int room = kListingChars - listing->length - (session ? kCharsAfterSessions : 0);
    if (listing->count >= lines || room < kLineChars || (session && listing->sessionRoom == 0)) {
        ++(session ? listing->sessionsLeftOut : listing->linesLeftOut);
        return;
    }
    ListingLine& line = listing->lines[listing->count++];
    line = {kind, listing->text + listing->length, 0};
    va_list args;
    va_start(args, format);
    line.length = FormatTextV(listing->text + listing->length, room, format, args);
    va_end(args);
    listing->length += line.length + 1;
    listing->sessionRoom -= session ? 1 : 0;
}

void WriteListing(Writer* writer, const Listing& listing) {
    for (int i = 0; i < listing.count; ++i) {
        Write(writer, listing.lines[i].text, listing.lines[i].length);
        Write(writer, L"\n", 1);
    }
    const int leftOut = listing.sessionsLeftOut + listing.linesLeftOut;
    WriteFormatted(writer, leftOut > 0 ? Text().notListed : "", leftOut,
                   Plural(leftOut, Text().lines));
}
