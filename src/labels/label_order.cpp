// Selecting and sorting the records for labels. Case and accents are folded
// through a table of the code page's 256 bytes, made once with GLib's Unicode
// data: decomposed, the marks dropped, case-folded.
#include "labels/label_order.h"

#include <glib.h>

#include <algorithm>
#include <cstring>

#include "record_store/code_page.h"

namespace {

// Unicode's full case folding gives at most three characters for one, and a
// code page 850 character decomposes into its letter and one mark.
constexpr std::size_t kFoldedByteCapacity = std::size_t{3} * 3;

struct FoldedByte {
    char bytes[kFoldedByteCapacity];
    std::size_t length;
};

FoldedByte g_folded[256];

bool make_fold_table() {
    for (std::size_t byte = 0; byte < 256; ++byte) {
        char list_byte = static_cast<char>(byte);
        char utf8[kLongestUtf8OfByte];
        std::size_t length = static_cast<std::size_t>(list_to_utf8(std::string_view(&list_byte, 1), utf8) - utf8);
        gchar* decomposed = g_utf8_normalize(utf8, static_cast<gssize>(length), G_NORMALIZE_NFD);
        if (decomposed == nullptr) return false;
        // The marks go: what is left is the letter without its accents.
        char bare[kFoldedByteCapacity];
        std::size_t bare_length = 0;
        for (const gchar* at = decomposed; *at != '\0'; at = g_utf8_next_char(at)) {
            gunichar c = g_utf8_get_char(at);
            std::size_t size = static_cast<std::size_t>(g_utf8_next_char(at) - at);
            if (g_unichar_ismark(c) != FALSE) continue;
            if (bare_length + size > sizeof bare) {
                g_free(decomposed);
                return false;
            }
            std::memcpy(bare + bare_length, at, size);
            bare_length += size;
        }
        g_free(decomposed);
        gchar* folded = g_utf8_casefold(bare, static_cast<gssize>(bare_length));
        if (folded == nullptr) return false;
        std::size_t folded_length = std::strlen(folded);
        bool fits = folded_length <= kFoldedByteCapacity;
        if (fits) {
            std::memcpy(g_folded[byte].bytes, folded, folded_length);
            g_folded[byte].length = folded_length;
        }
        g_free(folded);
        if (!fits) return false;
    }
    return true;
}

constexpr std::size_t kKeyCapacity = kWidestField * kFoldedByteCapacity;

// A field as it is compared first.
struct FoldedText {
    char bytes[kKeyCapacity];
    std::size_t length;
};

// With `drop_spaces`, the spaces are left out (a postal code's).
void fold(std::string_view text, bool drop_spaces, FoldedText& out) {
    out.length = 0;
    for (char c : text) {
        if (drop_spaces && c == ' ') continue;
        const FoldedByte& folded = g_folded[static_cast<unsigned char>(c)];
        std::memcpy(out.bytes + out.length, folded.bytes, folded.length);
        out.length += folded.length;
    }
}

int compare(std::string_view a, std::string_view b) {
    return a.compare(b) < 0 ? -1 : a.compare(b) > 0 ? 1 : 0;
}

int compare(const FoldedText& a, const FoldedText& b) {
    return compare(std::string_view(a.bytes, a.length), std::string_view(b.bytes, b.length));
}

// The keys of one record, made once before sorting.
struct SortKeys {
    FoldedText folded[2];
    std::string_view stored[2];
    bool empty;  // a postal code of nothing but spaces goes last
};

SortKeys g_keys[kMaxRecords];

void make_keys(const CustomerRecord& record, LabelOrder order, SortKeys& keys) {
    if (order == LabelOrder::kLastName) {
        keys.stored[0] = field_text(record.last_name);
        keys.stored[1] = field_text(record.first_name);
        fold(keys.stored[0], false, keys.folded[0]);
        fold(keys.stored[1], false, keys.folded[1]);
        keys.empty = false;
    } else {
        keys.stored[0] = field_text(record.postal_code);
        keys.stored[1] = std::string_view();
        fold(keys.stored[0], true, keys.folded[0]);
        keys.folded[1].length = 0;
        keys.empty = keys.folded[0].length == 0;
    }
}

bool goes_before(const SortKeys& a, const SortKeys& b) {
    if (a.empty != b.empty) return b.empty;
    int order = compare(a.folded[0], b.folded[0]);
    if (order == 0) order = compare(a.folded[1], b.folded[1]);
    if (order == 0) order = compare(a.stored[0], b.stored[0]);
    if (order == 0) order = compare(a.stored[1], b.stored[1]);
    return order < 0;
}

}  // namespace

void select_records(const RecordTable& table, const std::string_view* last_name, LabelSelection& selection) {
    selection.count = 0;
    for (std::size_t slot = 0; slot < table.count; ++slot) {
        if (last_name == nullptr || last_name_matches(table.slots[slot], *last_name)) {
            selection.slots[selection.count++] = slot;
        }
    }
}

bool sort_selection(const RecordTable& table, LabelOrder order, LabelSelection& selection) {
    if (order == LabelOrder::kFile) return true;
    if (!make_fold_table()) return false;
    for (std::size_t slot = 0; slot < table.count; ++slot) make_keys(table.slots[slot], order, g_keys[slot]);
    std::stable_sort(selection.slots, selection.slots + selection.count,
                     [](std::size_t a, std::size_t b) { return goes_before(g_keys[a], g_keys[b]); });
    return true;
}
