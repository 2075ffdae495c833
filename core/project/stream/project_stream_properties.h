// What the reader of the project stream accepts: the properties of the list
// and of its columns, their kinds, and where a value goes.
#pragma once

#include <span>
#include <string_view>

namespace mv::project_stream {

enum class Kind {
    Integer,
    Boolean,
    Enum,
    Set,
    Reference,
    Collection,
    Object,
    Binary,
    String,
    WidthList
};
enum class Target { None, Left, Top, Width, Height, ColumnCaption, ColumnWidth };

struct Property {
    std::string_view name;
    Kind kind;
    Target target = Target::None;
    std::span<const std::string_view> words = {};  // values of an enum, elements of a set
    std::span<const Property> members = {};        // properties of an object
};

inline constexpr std::string_view kAlignWords[] = {"alNone",  "alTop",    "alBottom", "alLeft",
                                                   "alRight", "alClient", "alCustom"};
inline constexpr std::string_view kViewStyleWords[] = {"vsIcon", "vsSmallIcon", "vsList",
                                                       "vsReport"};
inline constexpr std::string_view kHotTrackWords[] = {"htHandPoint", "htUnderlineCold",
                                                      "htUnderlineHot"};

inline constexpr Property kItemsMembers[] = {{"Data", Kind::Binary}};

inline constexpr Property kListViewProperties[] = {
    {"Left", Kind::Integer, Target::Left},
    {"Top", Kind::Integer, Target::Top},
    {"Width", Kind::Integer, Target::Width},
    {"Height", Kind::Integer, Target::Height},
    {"Align", Kind::Enum, Target::None, kAlignWords},
    {"AllocBy", Kind::Integer},
    {"Columns", Kind::Collection},
    {"ColumnClick", Kind::Boolean},
    {"HideSelection", Kind::Boolean},
    {"HotTrackStyles", Kind::Set, Target::None, kHotTrackWords},
    {"Items", Kind::Object, Target::None, {}, kItemsMembers},
    {"ReadOnly", Kind::Boolean},
    {"RowSelect", Kind::Boolean},
    {"PopupMenu", Kind::Reference},
    {"SmallImages", Kind::Reference},
    {"StateImages", Kind::Reference},
    {"TabOrder", Kind::Integer},
    {"ViewStyle", Kind::Enum, Target::None, kViewStyleWords},
};

inline constexpr Property kColumnProperties[] = {
    {"Caption", Kind::String, Target::ColumnCaption},
    {"Width", Kind::Integer, Target::ColumnWidth},
    {"WidthType", Kind::WidthList, Target::ColumnWidth},
};

// Compares property names, identifiers and set elements as the stream does:
// without regard to ASCII case.
bool SameText(std::string_view a, std::string_view b);

// Follows a dotted path such as "Items.Data" through `table`. Throws
// EReadError "Property does not exist" or "Invalid property path".
const Property& Resolve(std::span<const Property> table, std::string_view path);

}  // namespace mv::project_stream
