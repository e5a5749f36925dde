#pragma once
// printf-style wide formats checked against their arguments while compiling.
//
// The library's formats follow the Windows conventions: "%s" and "%c" take wide text.
// A conversion accepts an argument only when the C library would read it back as
// passed: an integer of the conversion's width (smaller ones are promoted to int), a
// floating-point number, wide or narrow text, a pointer. Anything else, a missing or a
// surplus argument, or a conversion the library does not use, stops the build at the
// call with an error naming one of the functions below.
#include <cstddef>
#include <type_traits>

namespace zv {

namespace format_check {

// Not constexpr on purpose: reaching one of them while checking is a compile error.
inline void ArgumentDoesNotMatchConversion() {}
inline void TooFewArgumentsForFormat() {}
inline void TooManyArgumentsForFormat() {}
inline void UnsupportedConversionInFormat() {}

enum class ArgClass : unsigned char { Integer, Floating, LongDouble, WideText, NarrowText, Pointer, Other };

struct ArgInfo {
    ArgClass kind;
    unsigned char size; // bytes read from the argument list (integers only)
};

template <class T>
constexpr ArgInfo Describe()
{
    using D = std::remove_cv_t<std::decay_t<T>>;
    if constexpr (std::is_integral_v<D>) {
        // Variadic calls promote anything narrower than int to int.
        return {ArgClass::Integer, static_cast<unsigned char>(sizeof(D) < sizeof(int) ? sizeof(int) : sizeof(D))};
    } else if constexpr (std::is_enum_v<D>) {
        // Unscoped enumerations pass as their underlying integer; scoped ones are no number.
        if constexpr (std::is_convertible_v<D, std::underlying_type_t<D>>) return Describe<std::underlying_type_t<D>>();
        else return {ArgClass::Other, 0};
    } else if constexpr (std::is_same_v<D, float> || std::is_same_v<D, double>) {
        return {ArgClass::Floating, 0};
    } else if constexpr (std::is_same_v<D, long double>) {
        return {ArgClass::LongDouble, 0};
    } else if constexpr (std::is_same_v<D, const wchar_t*> || std::is_same_v<D, wchar_t*>) {
        return {ArgClass::WideText, 0};
    } else if constexpr (std::is_same_v<D, const char*> || std::is_same_v<D, char*>) {
        return {ArgClass::NarrowText, 0};
    } else if constexpr (std::is_pointer_v<D>) {
        return {ArgClass::Pointer, 0};
    } else {
        return {ArgClass::Other, 0};
    }
}

// Length modifiers, as far as the conversions care.
enum class Length : unsigned char { None, Char, Short, Long, LongLong, SizeT, PtrDiff, IntMax, LongDouble, I32 };

struct Cursor {
    const ArgInfo* args;
    size_t count;
    size_t next = 0;

    constexpr const ArgInfo& Take()
    {
        if (next >= count) TooFewArgumentsForFormat();
        return args[next++];
    }
};

constexpr unsigned IntegerSize(Length length)
{
    switch (length) {
    case Length::Long: return sizeof(long);
    case Length::LongLong: return 8;
    case Length::SizeT: return sizeof(size_t);
    case Length::PtrDiff: return sizeof(std::ptrdiff_t);
    case Length::IntMax: return 8;
    case Length::I32: return 4;
    default: return sizeof(int); // none, hh and h read an int
    }
}

constexpr void ExpectInteger(const ArgInfo& arg, unsigned size)
{
    if (arg.kind != ArgClass::Integer || arg.size != size) ArgumentDoesNotMatchConversion();
}

constexpr bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// Reads "*" or digits; a "*" takes an int from the arguments.
constexpr const wchar_t* SkipNumber(const wchar_t* p, Cursor& cursor)
{
    if (*p == L'*') {
        ExpectInteger(cursor.Take(), sizeof(int));
        return p + 1;
    }
    while (IsDigit(*p)) ++p;
    return p;
}

constexpr const wchar_t* ReadLength(const wchar_t* p, Length& length)
{
    length = Length::None;
    switch (*p) {
    case L'h':
        if (p[1] == L'h') {
            length = Length::Char;
            return p + 2;
        }
        length = Length::Short;
        return p + 1;
    case L'l':
        if (p[1] == L'l') {
            length = Length::LongLong;
            return p + 2;
        }
        length = Length::Long;
        return p + 1;
    case L'q': length = Length::LongLong; return p + 1;
    case L'z': length = Length::SizeT; return p + 1;
    case L't': length = Length::PtrDiff; return p + 1;
    case L'j': length = Length::IntMax; return p + 1;
    case L'L': length = Length::LongDouble; return p + 1;
    case L'I':
        if (p[1] == L'6' && p[2] == L'4') {
            length = Length::LongLong;
            return p + 3;
        }
        if (p[1] == L'3' && p[2] == L'2') {
            length = Length::I32;
            return p + 3;
        }
        length = Length::SizeT;
        return p + 1;
    default: return p;
    }
}

constexpr void CheckConversion(wchar_t conversion, Length length, Cursor& cursor)
{
    switch (conversion) {
    case L'd': case L'i': case L'u': case L'x': case L'X': case L'o':
        if (length == Length::LongDouble) UnsupportedConversionInFormat();
        ExpectInteger(cursor.Take(), IntegerSize(length));
        return;
    case L'c':
        if (length != Length::None && length != Length::Long && length != Length::Short) UnsupportedConversionInFormat();
        ExpectInteger(cursor.Take(), sizeof(int));
        return;
    case L's': {
        const ArgInfo& arg = cursor.Take();
        bool wide = length == Length::None || length == Length::Long;
        if (!wide && length != Length::Short) UnsupportedConversionInFormat();
        if (arg.kind != (wide ? ArgClass::WideText : ArgClass::NarrowText)) ArgumentDoesNotMatchConversion();
        return;
    }
    case L'f': case L'F': case L'e': case L'E': case L'g': case L'G': case L'a': case L'A': {
        const ArgInfo& arg = cursor.Take();
        if (length == Length::LongDouble) {
            if (arg.kind != ArgClass::LongDouble) ArgumentDoesNotMatchConversion();
        } else if (length == Length::None || length == Length::Long) {
            if (arg.kind != ArgClass::Floating) ArgumentDoesNotMatchConversion();
        } else {
            UnsupportedConversionInFormat();
        }
        return;
    }
    case L'p': {
        if (length != Length::None) UnsupportedConversionInFormat();
        ArgClass kind = cursor.Take().kind;
        if (kind != ArgClass::Pointer && kind != ArgClass::WideText && kind != ArgClass::NarrowText)
            ArgumentDoesNotMatchConversion();
        return;
    }
    default:
        // %n writes through its argument; other letters are not printf conversions.
        UnsupportedConversionInFormat();
    }
}

constexpr void Check(const wchar_t* format, const ArgInfo* args, size_t count)
{
    Cursor cursor{args, count};
    for (const wchar_t* p = format; *p; ++p) {
        if (*p != L'%') continue;
        ++p;
        if (*p == L'%') continue;
        while (*p == L'-' || *p == L'+' || *p == L' ' || *p == L'#' || *p == L'0') ++p;
        p = SkipNumber(p, cursor);
        if (*p == L'.') p = SkipNumber(p + 1, cursor);
        Length length = Length::None;
        p = ReadLength(p, length);
        if (!*p) UnsupportedConversionInFormat();
        CheckConversion(*p, length, cursor);
    }
    if (cursor.next != count) TooManyArgumentsForFormat();
}

} // namespace format_check

// A format string literal, checked against Args where it is written.
template <class... Args>
class BasicCheckedFormat {
public:
    consteval BasicCheckedFormat(const wchar_t* text) : m_text(text)
    {
        if constexpr (sizeof...(Args) == 0) {
            format_check::Check(text, nullptr, 0);
        } else {
            format_check::Check(text, kArgs, sizeof...(Args));
        }
    }
    const wchar_t* Text() const noexcept { return m_text; }

private:
    static constexpr format_check::ArgInfo kArgs[sizeof...(Args) == 0 ? 1 : sizeof...(Args)] = {
        format_check::Describe<Args>()...};
    const wchar_t* m_text;
};

// Used as a parameter beside the arguments it describes, so that they alone are deduced.
template <class... Args>
using CheckedFormat = BasicCheckedFormat<std::type_identity_t<Args>...>;

} // namespace zv
