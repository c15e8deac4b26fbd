// The list as vCards for an address book, in UTF-8: one card a record, 3.0
// (RFC 2426) or 4.0 (RFC 6350), each named by a UID made from the customer's names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "record_store/code_page.h"
#include "record_store/customer_record.h"

enum class VcardVersion { k30, k40 };

// The namespace of every card's name-based (version 5) UUID,
// 64fbcf4c-c960-400d-897a-cc164b1bf024. Chosen once: another would give every
// customer a new UID, and address books would add them all a second time.
constexpr std::uint8_t kUidNamespace[16] = {0x64, 0xfb, 0xcf, 0x4c, 0xc9, 0x60, 0x40, 0x0d,
                                            0x89, 0x7a, 0xcc, 0x16, 0x4b, 0x1b, 0xf0, 0x24};
constexpr std::size_t kUuidTextLength = 36;  // 8-4-4-4-12 hexadecimal digits

// The fixed text of a card; a value made from fields sits after each property's name.
constexpr std::string_view kCardBegin = "BEGIN:VCARD\r\n";
constexpr std::string_view kVersion30 = "VERSION:3.0\r\n";
constexpr std::string_view kVersion40 = "VERSION:4.0\r\n";
constexpr std::string_view kUidStart = "UID:urn:uuid:";
constexpr std::string_view kFormattedName = "FN:";
constexpr std::string_view kNoName = "(no name)";  // FN may not be empty
constexpr std::string_view kName = "N:";
constexpr std::string_view kAddress = "ADR;TYPE=home:;;";  // no PO box, no extended address
constexpr std::string_view kTelephone30 = "TEL;TYPE=voice:";
constexpr std::string_view kTelephone40 = "TEL;VALUE=text;TYPE=voice:";
constexpr std::string_view kNote = "NOTE:";
constexpr std::string_view kCardEnd = "END:VCARD\r\n";
constexpr std::size_t kLinesPerCard = 9;
// Between components and names: "N:last;first;;;" and the address's four
// components and empty country; the space of FN.
constexpr std::size_t kSeparatorsPerCard = 4 + 4 + 1;

// A content line takes at most this many octets, CR LF aside; a longer one goes
// on after CR LF and a space. A fold never cuts a UTF-8 character, so a folded
// line carries at least kFoldWidth, less the space, less all but one byte of a character.
constexpr std::size_t kFoldWidth = 75;
constexpr std::size_t kLeastOctetsPerFold = kFoldWidth - 1 - (kLongestUtf8OfByte - 1);

// Every byte of a field takes at most kLongestUtf8OfByte in a value: a
// character, or an escape of two ("\\" "\," "\;" "\n", the last also for CR LF).
static_assert(kLongestUtf8OfByte >= 2, "an escape is no longer than the longest character");
constexpr std::size_t kFixedCardText = kCardBegin.size() + kVersion30.size() + kUidStart.size() + kUuidTextLength +
                                       kFormattedName.size() + kNoName.size() + kName.size() + kAddress.size() +
                                       kTelephone40.size() + kNote.size() + kCardEnd.size() + kSeparatorsPerCard +
                                       2 * kLinesPerCard;
static_assert(kVersion30.size() == kVersion40.size() && kTelephone40.size() >= kTelephone30.size(),
              "the fixed text counts the longer of each pair");
// The names are written twice (FN and N), every other field once.
constexpr std::size_t kLongestUnfoldedCard = kFixedCardText + kLongestUtf8OfByte * 2 * kRecordSize;
constexpr std::size_t kLongestLine = kLongestUnfoldedCard;
constexpr std::size_t kLongestCard = kLongestUnfoldedCard + 3 * (kLongestUnfoldedCard / kLeastOctetsPerFold);
constexpr std::size_t kVcardCapacity = kMaxRecords * kLongestCard;

struct VcardText {
    std::size_t length;
    std::size_t card_count;
    std::size_t card_ends[kMaxRecords];         // where each card ends in `bytes`
    char uuids[kMaxRecords][kUuidTextLength];   // each card's UUID as its UID has it
    char bytes[kVcardCapacity];
};

// Every record of the table as a card, in table order, converted from the
// list's code page. No byte-order mark on any platform: address books refuse one.
void format_vcards(const RecordTable& table, VcardVersion version, VcardText& cards);
