// A reader for the printer descriptions (GPD files) the package delivers: entries "*Keyword: value",
// each optionally followed by a { } block of entries, comments "*%", preprocessor lines "#...",
// values continued on lines that start with "+", and command parameters %d{...} whose braces are
// no block. Enough of the syntax to check the delivered files, not a replacement for Unidrv's parser.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace gpd {

struct Entry {
    std::string keyword;   // without the asterisk and the colon: "Feature"
    std::string value;     // as written, quotes kept, blanks around it removed
    int line = 0;
    std::vector<Entry> children;   // the entries of its block

    const Entry* Find(std::string_view keyword) const;   // the first child with that keyword
    std::vector<const Entry*> All(std::string_view keyword) const;
};

// The entries at root level; false with a message naming the line when braces or quotes do not close.
bool Parse(const std::string& text, std::vector<Entry>* entries, std::string* error);

// The name a symbol value stands for: a quoted name without its quotes (with "%" escapes undone),
// any other value as written.
std::string SymbolName(const std::string& value);

// A name GPD takes without quotes: a letter, then letters, digits and underscores.
bool IsPlainSymbol(std::string_view name);

}  // namespace gpd
