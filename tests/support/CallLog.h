#pragma once

#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

// A record of calls kept by a fake: a list (std::vector, QList ...) whose
// entries are read with checked access. Reading an entry that is not there
// throws std::out_of_range, which GoogleTest reports as a failure of the
// test that read it, where an unchecked index would crash the test program
// or read garbage.
template <typename List>
class CallLog : public List {
public:
    using size_type = typename List::size_type;

    CallLog() = default;
    CallLog(const List &list) : List(list) {}
    CallLog(List &&list) : List(std::move(list)) {}
    CallLog(std::initializer_list<typename List::value_type> values) : List(values) {}

    decltype(auto) operator[](size_type i) { return List::operator[](checked(i)); }
    decltype(auto) operator[](size_type i) const { return List::operator[](checked(i)); }
    decltype(auto) at(size_type i) const { return List::operator[](checked(i)); }
    decltype(auto) front() const { return List::operator[](checked(0)); }
    decltype(auto) back() const { return List::operator[](checked(List::size() - 1)); }
    decltype(auto) first() const { return front(); }
    decltype(auto) last() const { return back(); }

private:
    size_type checked(size_type i) const
    {
        bool inside = i < List::size();
        if constexpr (std::is_signed_v<size_type>)
            inside = inside && i >= 0;
        if (!inside)
            throw std::out_of_range("the call log has " + std::to_string(List::size()) + " entries; entry "
                                    + std::to_string(i) + " was read");
        return i;
    }
};
