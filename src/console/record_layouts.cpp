// Formatting a record in one of its layouts.
#include "console/record_layouts.h"

#include <cstring>

LayoutText format_record(const CustomerRecord& record, const RecordLayout& layout) {
    const char* bytes = reinterpret_cast<const char*>(&record);
    LayoutText text{};
    for (const LayoutPiece& piece : layout.pieces) {
        if (piece.field == kEndOfLayout) break;
        std::string_view part = piece.text;
        if (piece.field != kFixedText) {
            const FieldLayout& where = kFieldLayouts[piece.field];
            part = field_text(bytes + where.offset, where.width);
        }
        std::memcpy(text.bytes + text.length, part.data(), part.size());
        text.length += part.size();
    }
    return text;
}
