#include "gpd_reader.h"

#include <cctype>

namespace gpd {

const Entry* Entry::Find(std::string_view k) const {
    for (const Entry& e : children)
        if (e.keyword == k) return &e;
    return nullptr;
}

std::vector<const Entry*> Entry::All(std::string_view k) const {
    std::vector<const Entry*> found;
    for (const Entry& e : children)
        if (e.keyword == k) found.push_back(&e);
    return found;
}

namespace {

class Reader {
public:
    explicit Reader(const std::string& text) : t_(text) {}

    bool Block(std::vector<Entry>* out, int openedAt) {
        for (;;) {
            SkipBlanksAndComments();
            if (i_ >= t_.size()) {
                if (openedAt == 0) return true;
                return Fail(openedAt, "the block opened here is not closed");
            }
            const char c = t_[i_];
            if (c == '}') {
                if (openedAt == 0) return Fail(line_, "} without a block to close");
                ++i_;
                return true;
            }
            if (c != '*') return Fail(line_, std::string("an entry must start with *, not ") + c);
            Entry e;
            if (!OneEntry(&e)) return false;
            out->push_back(std::move(e));
        }
    }

    std::string error;

private:
    bool OneEntry(Entry* e) {
        e->line = line_;
        ++i_;   // the asterisk
        const size_t colon = t_.find(':', i_);
        const size_t eol = t_.find('\n', i_);
        if (colon == std::string::npos || colon > eol || colon == i_)
            return Fail(line_, "an entry needs a keyword and a colon");
        e->keyword = t_.substr(i_, colon - i_);
        i_ = colon + 1;
        if (!Value(&e->value)) return false;
        // The block may start on the line of the entry or on a later one.
        SkipBlanksAndComments();
        if (i_ < t_.size() && t_[i_] == '{') {
            const int opened = line_;
            ++i_;
            return Block(&e->children, opened);
        }
        return true;
    }

    // Up to the end of the line, a brace, a comment or the next entry, outside quotes and
    // parameter braces; a following line that starts with "+" continues it.
    bool Value(std::string* v) {
        bool quoted = false;
        const int start = line_;
        while (i_ < t_.size()) {
            const char c = t_[i_];
            if (quoted) {
                if (c == '\n') return Fail(start, "a quoted text does not close on its line");
                if (c == '%' && i_ + 1 < t_.size() && t_[i_ + 1] != '\n') {
                    *v += t_.substr(i_, 2);
                    i_ += 2;
                    continue;
                }
                if (c == '"') quoted = false;
                *v += c;
                ++i_;
                continue;
            }
            if (c == '"') {
                quoted = true;
            } else if (c == '%') {
                if (!Parameter(v)) return false;
                continue;
            } else if (c == '\n') {
                size_t k = i_ + 1;
                while (k < t_.size() && (t_[k] == ' ' || t_[k] == '\t' || t_[k] == '\r')) ++k;
                if (k >= t_.size() || t_[k] != '+') break;
                ++line_;
                i_ = k + 1;
                *v += ' ';
                continue;
            } else if (c == '{' || c == '}' || c == '*') {
                break;
            }
            *v += c;
            ++i_;
        }
        if (quoted) return Fail(start, "a quoted text does not close");
        while (!v->empty() && std::isspace(static_cast<unsigned char>(v->back()))) v->pop_back();
        size_t lead = 0;
        while (lead < v->size() && std::isspace(static_cast<unsigned char>((*v)[lead]))) ++lead;
        v->erase(0, lead);
        return true;
    }

    // "%d[0,255]{expression}": copied whole, its braces being part of the value.
    bool Parameter(std::string* v) {
        const int start = line_;
        while (i_ < t_.size() && t_[i_] != '{' && t_[i_] != '\n') *v += t_[i_++];
        if (i_ >= t_.size() || t_[i_] == '\n') return true;
        int depth = 0;
        while (i_ < t_.size()) {
            const char c = t_[i_++];
            *v += c;
            if (c == '\n') return Fail(start, "a parameter's braces do not close on its line");
            if (c == '{') ++depth;
            if (c == '}' && --depth == 0) return true;
        }
        return Fail(start, "a parameter's braces do not close");
    }

    void SkipBlanksAndComments() {
        while (i_ < t_.size()) {
            const char c = t_[i_];
            if (c == '\n') {
                ++line_;
                ++i_;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++i_;
            } else if (t_.compare(i_, 2, "*%") == 0 || c == '#') {
                while (i_ < t_.size() && t_[i_] != '\n') ++i_;
            } else {
                return;
            }
        }
    }

    bool Fail(int line, const std::string& what) {
        error = "line " + std::to_string(line) + ": " + what;
        return false;
    }

    const std::string& t_;
    size_t i_ = 0;
    int line_ = 1;
};

}  // namespace

bool Parse(const std::string& text, std::vector<Entry>* entries, std::string* error) {
    Reader r(text);
    entries->clear();
    if (r.Block(entries, 0)) return true;
    *error = r.error;
    return false;
}

std::string SymbolName(const std::string& value) {
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') return value;
    std::string name;
    for (size_t i = 1; i + 1 < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size()) ++i;
        else if (value[i] == '"') return value;   // two texts, or a quote inside: not one name
        name += value[i];
    }
    return name;
}

bool IsPlainSymbol(std::string_view name) {
    if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0]))) return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    return true;
}

}  // namespace gpd
