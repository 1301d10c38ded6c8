#include "marlix/core/user_locale.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace marlix::core {

namespace {

// The bytes of the UTF-8 character that starts at text[0].
std::size_t CharacterLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    return std::min(length, text.size());
}

// One category of the environment's locale, released when it goes out of scope.
class EnvironmentLocale {
  public:
    explicit EnvironmentLocale(int categoryMask) : locale_(newlocale(categoryMask, "", locale_t{})) {}
    ~EnvironmentLocale() {
        if (locale_ != locale_t{}) freelocale(locale_);
    }
    EnvironmentLocale(const EnvironmentLocale&) = delete;
    EnvironmentLocale& operator=(const EnvironmentLocale&) = delete;

    // The item's text, or empty when the locale is not installed.
    std::string_view Item(nl_item item) const {
        if (locale_ == locale_t{}) return {};
        const char* text = nl_langinfo_l(item, locale_);
        return text == nullptr ? std::string_view() : std::string_view(text);
    }

  private:
    locale_t locale_;
};

// The separator between hours and minutes in a C library time format such as "%H.%M.%S"; ":" when
// the format names none.
std::string TimeSeparatorOfFormat(std::string_view format) {
    for (std::size_t i = 0; i + 1 < format.size(); ++i) {
        if (format[i] != '%') continue;
        std::size_t c = i + 1;
        // Flags, width and the E and O modifiers stand between % and the conversion.
        while (c < format.size() &&
               std::string_view("_-0^#EO123456789").find(format[c]) != std::string_view::npos)
            ++c;
        if (c >= format.size()) break;
        const char conversion = format[c];
        if (conversion == 'T' || conversion == 'R' || conversion == 'r') return ":";
        if (std::string_view("HIkl").find(conversion) != std::string_view::npos && c + 1 < format.size() &&
            format[c + 1] != '%') {
            return std::string(format.substr(c + 1, CharacterLength(format.substr(c + 1))));
        }
        i = c;
    }
    return ":";
}

}  // namespace

LocaleConventions UserLocaleConventions() {
    LocaleConventions conventions;
    const EnvironmentLocale time(LC_TIME_MASK);
    static constexpr nl_item kMonths[12] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,  ABMON_5,  ABMON_6,
                                            ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
    for (std::size_t i = 0; i < 12; ++i) {
        if (const std::string_view name = time.Item(kMonths[i]); !name.empty())
            conventions.shortMonthNames[i] = name;
    }
    if (const std::string_view format = time.Item(T_FMT); !format.empty())
        conventions.timeSeparator = TimeSeparatorOfFormat(format);
    const EnvironmentLocale numeric(LC_NUMERIC_MASK);
    if (const std::string_view radix = numeric.Item(RADIXCHAR); !radix.empty())
        conventions.decimalSeparator = radix;
    return conventions;
}

}  // namespace marlix::core
