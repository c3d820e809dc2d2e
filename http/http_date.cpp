#include "http/http_date.h"

#include <string>
#include <vector>

#include "platform/bytes.h"

namespace quavrel {

namespace {
bool isDelimiter(unsigned char c)
{
    return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
           (c >= 0x7B && c <= 0x7E);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads min..max digits at `pos`; the digits must not be followed by another digit.
bool readDigits(std::string_view token, size_t& pos, size_t min, size_t max, int& value)
{
    size_t start = pos;
    value = 0;
    while (pos < token.size() && isDigit(token[pos]) && pos - start < max)
        value = value * 10 + (token[pos++] - '0');
    if (pos - start < min)
        return false;
    return pos >= token.size() || !isDigit(token[pos]);
}

bool readTime(std::string_view token, int& hour, int& minute, int& second)
{
    size_t pos = 0;
    if (!readDigits(token, pos, 1, 2, hour) || pos >= token.size() || token[pos++] != ':')
        return false;
    if (!readDigits(token, pos, 1, 2, minute) || pos >= token.size() || token[pos++] != ':')
        return false;
    return readDigits(token, pos, 1, 2, second);
}

int monthOf(std::string_view token)
{
    static const char* kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                    "jul", "aug", "sep", "oct", "nov", "dec"};
    for (int i = 0; i < 12; ++i)
        if (StartsWithNoCase(token, kMonths[i]))
            return i + 1;
    return 0;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

int daysInMonth(int year, int month)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}
}  // namespace

std::optional<int64_t> ParseCookieDate(std::string_view text)
{
    std::vector<std::string_view> tokens;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isDelimiter(static_cast<unsigned char>(text[i])))
            ++i;
        size_t start = i;
        while (i < text.size() && !isDelimiter(static_cast<unsigned char>(text[i])))
            ++i;
        if (i > start)
            tokens.push_back(text.substr(start, i - start));
    }

    bool haveTime = false, haveDay = false, haveMonth = false, haveYear = false;
    int hour = 0, minute = 0, second = 0, day = 0, month = 0, year = 0;
    for (std::string_view token : tokens) {
        int value;
        size_t pos = 0;
        if (!haveTime && readTime(token, hour, minute, second)) {
            haveTime = true;
        } else if (!haveDay && readDigits(token, pos, 1, 2, value)) {
            haveDay = true;
            day = value;
        } else if (!haveMonth && (value = monthOf(token)) != 0) {
            haveMonth = true;
            month = value;
        } else if (pos = 0; !haveYear && readDigits(token, pos, 2, 4, value)) {
            haveYear = true;
            year = value;
        }
    }
    if (!haveTime || !haveDay || !haveMonth || !haveYear)
        return std::nullopt;
    if (year >= 70 && year <= 99)
        year += 1900;
    else if (year >= 0 && year <= 69)
        year += 2000;
    if (year < 1601 || hour > 23 || minute > 59 || second > 59 || day < 1 || day > daysInMonth(year, month))
        return std::nullopt;
    return daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 + hour * 3600 +
           minute * 60 + second;
}

}  // namespace quavrel
