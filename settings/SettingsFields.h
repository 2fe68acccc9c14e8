#pragma once

#include "ModuleSettings.h"

#include <cstddef>
#include <utility>

namespace tavrenode {

namespace detail {

// Converts to any field's type, so that braces around a list of them count an aggregate's
// fields: ModuleSettings{a, b, ...} compiles up to exactly as many as it has.
struct AnyField {
    template<class T> operator T() const; // NOLINT(google-explicit-constructor): only counted
};

template<class T, std::size_t... I>
constexpr bool bracesTake(std::index_sequence<I...> /*unused*/) {
    return requires {
        T{(void(I), AnyField{})...};
    };
}

template<class T, std::size_t N = 0> constexpr std::size_t fieldCount() {
    if constexpr (bracesTake<T>(std::make_index_sequence<N + 1>{}))
        return fieldCount<T, N + 1>();
    else
        return N;
}

} // namespace detail

inline constexpr std::size_t kSettingsFieldCount = detail::fieldCount<ModuleSettings>();

// True when a table of entries, each naming one field through its number or its text
// member pointer, names every field of ModuleSettings exactly once.
template<class Table> constexpr bool coversEveryFieldOnce(const Table &table) {
    if (table.size() != kSettingsFieldCount)
        return false;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if ((table[i].number == nullptr) == (table[i].text == nullptr))
            return false;
        for (std::size_t j = 0; j < i; ++j) {
            if ((table[i].number && table[i].number == table[j].number) ||
                (table[i].text && table[i].text == table[j].text))
                return false;
        }
    }
    return true;
}

// True when two such tables name the same fields (each covers every field once).
template<class A, class B> constexpr bool sameFields(const A &a, const B &b) {
    for (const auto &entry : a) {
        bool found = false;
        for (const auto &other : b)
            found =
                found || (entry.number ? entry.number == other.number : entry.text == other.text);
        if (!found)
            return false;
    }
    return a.size() == b.size();
}

} // namespace tavrenode
